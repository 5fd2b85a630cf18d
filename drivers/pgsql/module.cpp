// tovi_PGSQL.so: the driver's one export.
#include "pgsql_bindings.hpp"

TOVI_DRIVER_CREATE_DATA_SOURCE(tovi::pgsql::driver)
