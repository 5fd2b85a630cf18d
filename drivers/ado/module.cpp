// tovi_ado.so: the module's one export.
#include "ado_bindings.hpp"

TOVI_DRIVER_CREATE_DATA_SOURCE(tovi::ado::driver)
