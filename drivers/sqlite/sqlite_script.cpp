// Scripts on SQLite.
#include "sqlite_script.hpp"

namespace tovi::sqlite {

void script_drop_visitor::visit_constraint_t(sql::impl::constraint_t& n) {
    const sql::output_callback& run = get_callback();
    if (!run) {
        sql::drop_visitor::visit_constraint_t(n);  // printing only: the portable text
        return;
    }
    for (const char* trigger : {"_INS", "_UPD", "_DEL"})
        run("DROP TRIGGER IF EXISTS " + n.name.get_value() + trigger);
}

}  // namespace tovi::sqlite
