// tovi_sqlite.so: the module's one export.
#include "sqlite_bindings.hpp"

TOVI_DRIVER_CREATE_DATA_SOURCE(tovi::sqlite::driver)
