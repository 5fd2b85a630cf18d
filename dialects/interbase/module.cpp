// dialect_interbase.so: the module's one export.
#include "interbase_dialect.hpp"

TOVI_DIALECT_MAKE_SERVER(tovi::interbase_dialect::dialect_server)
