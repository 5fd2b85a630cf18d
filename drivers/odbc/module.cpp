// tovi_odbc.so: the module's one export.
#include "odbc_bindings.hpp"

TOVI_DRIVER_CREATE_DATA_SOURCE(tovi::odbc::driver)
