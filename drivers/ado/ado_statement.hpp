// A statement: an ADODB.Command with its text, and an ADODB.Recordset opened at
// the first execution of a query (or row insertion) and requeried afterwards.
// An "INSERT ... VALUES" adds its row through the recordset: the application's
// parameters bind into the insert factory, whose walk writes the row.
#ifndef TOVI_DRIVERS_ADO_ADO_STATEMENT_HPP
#define TOVI_DRIVERS_ADO_ADO_STATEMENT_HPP

#include <string>
#include <vector>

#include "ado_insert.hpp"
#include "ado_transaction.hpp"

namespace tovi::ado {

// The bind factory of a rewritten INSERT: its walk adds one row (the literals
// of the text and the bound parameters) through the statement's recordset.
class insert_factory : public binding_factory {
public:
    explicit insert_factory(statement* owner) : binding_factory(in, owner) {}
    void get_value() override;
};

class statement : public tovi::driver::statement_base<driver> {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    ~statement() override;
    void prepare(const std::string& sql) override;
    void execute() override;
    // Closes the recordset (a pending new row is cancelled); no rows until the
    // next execution.
    void reset() override;
    void flush() override {}
    bool next() override;
    impl::value_factory& get_bind() override {
        return plan_.rewritten ? static_cast<impl::value_factory&>(insert_) : bind_;
    }
    impl::value_factory& get_define() override { return define_; }
    // Every marker takes exactly one value.
    void ready_for_binding();

    // A parameter's value: into the command's parameter, or into the new row's
    // field for a rewritten INSERT.
    void put_parameter(const impl::value_factory& from, unsigned short position, const VARIANT& v);
    // The field of result column `position` in the current row.
    adodb::Field& field(unsigned short position);
    // Adds one row: the insert factory's walk (see insert_factory).
    void insert_row(insert_factory& f);
    long affected() const { return affected_; }

    // The statement context, the current field values of a row insertion and
    // the driver and provider, then the cache's statistics.
    std::string error_context() const;
    // Translates an ADO failure (with `message` before the provider's text).
    [[noreturn]] void fail(const adodb::com_error* cause, const std::string& message = "") const;

private:
    void take_fields();
    std::string field_values() const;

    binding_factory bind_;
    binding_factory define_;
    insert_factory insert_;
    adodb::ptr<adodb::Command> ado_command_;
    adodb::ptr<adodb::Recordset> recordset_;
    adodb::ptr<adodb::Parameters> parameters_;
    std::vector<adodb::ptr<adodb::Field>> fields_;
    bool opened_ = false;
    bool positioned_ = false;
    insert_plan plan_;
    std::vector<unsigned short> parameter_columns_;  // the row's column of each parameter
    std::string current_sql_;
    long affected_ = 0;
};

}  // namespace tovi::ado

#endif
