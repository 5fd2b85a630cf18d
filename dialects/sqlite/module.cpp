// dialect_sqlite.so: the module's one export.
#include "sqlite_dialect.hpp"

TOVI_DIALECT_MAKE_SERVER(tovi::sqlite_dialect::dialect_server)
