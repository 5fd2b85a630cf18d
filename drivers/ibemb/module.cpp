// tovi_ibemb.so: the module's one export.
#include "ib_bindings.hpp"

TOVI_DRIVER_CREATE_DATA_SOURCE(tovi::ib::driver)
