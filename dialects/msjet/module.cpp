// dialect_msjet.so: the module's one export.
#include "msjet_dialect.hpp"

TOVI_DIALECT_MAKE_SERVER(tovi::msjet_dialect::dialect_server)
