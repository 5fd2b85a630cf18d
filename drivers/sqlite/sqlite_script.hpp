// Scripts on SQLite: what the driver adds to the framework's script.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_SCRIPT_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_SCRIPT_HPP

#include <tovi/tovi.hpp>

namespace tovi::sqlite {

// SQLite's ALTER TABLE cannot drop a constraint, and the SQLite dialect emulates
// a relationship with three triggers (<name>_INS, <name>_UPD, <name>_DEL): a
// dropped relationship drops them. "DROP CONSTRAINT" never reaches SQLite.
class script_drop_visitor : public sql::drop_visitor {
public:
    void visit_constraint_t(sql::impl::constraint_t& n) override;
};

}  // namespace tovi::sqlite

#endif
