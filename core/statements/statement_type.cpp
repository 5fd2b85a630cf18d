// Grouping of statement kinds.
#include <tovi/statement_type.hpp>

namespace tovi {

bool is_dml(statement_type t) {
    return t == stmt_insert || t == stmt_delete || t == stmt_update;
}

bool is_ddl(statement_type t) {
    return t == stmt_create || t == stmt_drop || t == stmt_alter;
}

}  // namespace tovi
