// dialect_postgresql.so: the module's one export.
#include "postgresql_dialect.hpp"

TOVI_DIALECT_MAKE_SERVER(tovi::postgresql_dialect::dialect_server)
