// Commands, recordsets and row insertion.
#include "ado_statement.hpp"

#include "ado_bindings.hpp"
#include "ado_errors.hpp"

namespace tovi::ado {

namespace {

const _variant_t missing;  // an argument left out

// A field's value as the error context shows it.
std::string printable(const _variant_t& v) {
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return "NULL";
        case VT_BOOL:
            return v.boolVal != 0 ? "TRUE" : "FALSE";
        case VT_BSTR:
            return "'" + variant2string(v) + "'";
        default:
            break;
    }
    if ((v.vt & VT_ARRAY) != 0) return "<Binary Data>";
    _variant_t text;
    if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) return "?";
    return variant2string(text);
}

}  // namespace

void insert_factory::get_value() {
    get_statement()->ready_for_binding();
    get_statement()->insert_row(*this);
}

void statement::ready_for_binding() {
    if (plan_.rewritten) {
        check_parameter_count(parameter_columns_.size());
        return;
    }
    long markers = 0;
    try {
        if (!parameters_) parameters_ = ado_command_->GetParameters();
        markers = parameters_->GetCount();
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
    check_parameter_count(static_cast<std::size_t>(markers));
}

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_),
      bind_(in, this),
      define_(out, this),
      insert_(this) {
    adodb::Connection& c = owner_.get_owner().ado();
    auto create = [&c](auto& object, const char* prog_id, const char* what) {
        const HRESULT hr = object.CreateInstance(prog_id);
        if (FAILED(hr))
            throw exception(std::string("Failed to create an ADO ") + what +
                                ". Current ADO version is: " + c.GetVersion().str() + ".",
                            hr);
    };
    create(ado_command_, "ADODB.Command", "command");
    create(recordset_, "ADODB.Recordset", "recordset");
    try {
        ado_command_->PutRefActiveConnection(&c);
        ado_command_->PutCommandType(adodb::adCmdText);
        recordset_->PutCacheSize(1000);
    } catch (const adodb::com_error& e) {
        fail(&e, "Unable to create a 'tovi_ado::statement' object.");
    }
}

statement::~statement() {
    try {
        reset();
    } catch (...) {
        // Going anyway: the recordset closes with its last reference.
    }
}

void statement::prepare(const std::string& sql) {
    statement_base::prepare(sql);
    current_sql_ = sql;
    if (kind == stmt_insert) {
        try {
            plan_ = plan_insert(sql);
        } catch (const bad_sql& e) {
            raise(e);
        } catch (const bad_value_conversion& e) {
            raise(e);
        }
        if (plan_.rewritten) {
            current_sql_ = plan_.select_text;
            for (std::size_t i = 0; i < plan_.values.size(); ++i)
                if (plan_.values[i].parameter)
                    parameter_columns_.push_back(static_cast<unsigned short>(i));
        }
    }
    try {
        ado_command_->PutCommandText((plan_.rewritten ? plan_.select_text : native_sql).c_str());
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
}

void statement::put_parameter(const impl::value_factory& from, unsigned short position,
                              const VARIANT& v) {
    try {
        if (&from == &insert_) {
            if (position >= parameter_columns_.size())
                raise(bad_operation("Parameter " + std::to_string(position + 1) +
                                        " is bound, but the statement has " +
                                        std::to_string(parameter_columns_.size()) + " parameters.",
                                    0));
            field(parameter_columns_[position]).PutValue(v);
            return;
        }
        if (!parameters_) parameters_ = ado_command_->GetParameters();
        parameters_->GetItem(_variant_t(static_cast<long>(position)))->PutValue(v);
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
}

adodb::Field& statement::field(unsigned short position) {
    if (position >= fields_.size())
        raise(bad_operation("Result column " + std::to_string(position + 1) +
                                " is bound, but the query returns " +
                                std::to_string(fields_.size()) + " columns.",
                            0));
    return *fields_[position];
}

void statement::take_fields() {
    fields_.clear();
    adodb::ptr<adodb::Fields> all = recordset_->GetFields();
    const long count = all->GetCount();
    for (long i = 0; i < count; ++i) fields_.push_back(all->GetItem(_variant_t(i)));
}

void statement::execute() {
    at_end = true;
    try {
        if (kind == stmt_select) {
            owner->begin();
            if (opened_) {
                recordset_->Requery(adodb::adCmdText);
            } else {
                recordset_->Open(ado_command_.get(), missing, adodb::adOpenForwardOnly,
                                 adodb::adLockReadOnly, adodb::adCmdText);
                opened_ = true;
            }
            affected_ = recordset_->GetRecordCount();
            take_fields();
            at_end = false;
        } else if (!plan_.rewritten) {
            if (is_ddl(kind)) {
                owner->commit();
                owner->get_cache().purge();
            } else {
                owner->begin();
            }
            _variant_t count;
            ado_command_->Execute(&count, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
            affected_ = count.lVal;
        }
        // A rewritten INSERT wrote its row when its parameters were bound.
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
    positioned_ = false;
}

void statement::insert_row(insert_factory& f) {
    try {
        // Every row in a transaction (a commit may have ended the last one).
        owner->begin();
        if (!opened_) {
            recordset_->Open(ado_command_.get(), missing, adodb::adOpenForwardOnly,
                             adodb::adLockOptimistic, adodb::adCmdText);
            opened_ = true;
            take_fields();
        }
        if (fields_.size() < plan_.values.size())
            raise(bad_operation("The INSERT statement has " + std::to_string(plan_.values.size()) +
                                    " values, but the table " + plan_.table + " has " +
                                    std::to_string(fields_.size()) + " columns.",
                                0));
        recordset_->AddNew();
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
    // A failed row is dropped, so the recordset can take the next one.
    auto drop_row = [this] {
        try {
            recordset_->CancelUpdate();
        } catch (const _com_error&) {
        }
    };
    try {
        for (std::size_t i = 0; i < plan_.values.size(); ++i)
            if (!plan_.values[i].parameter) fields_[i]->PutValue(plan_.values[i].literal);
        for (impl::value_t* b : f.get_bindings()) b->get_value();
        recordset_->Update();
    } catch (const adodb::com_error& e) {
        // The context shows the row that failed, so it is taken before the drop.
        const std::string context = error_context();
        const auto native = errors_exception(owner->get_owner().ado(), &e);
        drop_row();
        tovi::driver::translate(owner->get_owner(), native, context);
    } catch (...) {
        drop_row();
        throw;
    }
    ++affected_;
}

bool statement::next() {
    if (kind != stmt_select || !opened_ || at_end) return false;
    try {
        if (!positioned_) {
            positioned_ = true;
        } else if (!recordset_->GetadoEOF()) {
            recordset_->MoveNext();
        }
        if (recordset_->GetadoEOF() == 0) return true;
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
    at_end = true;
    return false;
}

void statement::reset() {
    try {
        if (recordset_ && recordset_->GetState() == adodb::adStateOpen) {
            if (recordset_->GetEditMode() != adodb::adEditNone) recordset_->CancelUpdate();
            recordset_->Close();
        }
    } catch (const adodb::com_error& e) {
        fail(&e);
    }
    fields_.clear();
    opened_ = false;
    positioned_ = false;
    at_end = true;
}

std::string statement::field_values() const {
    std::string text;
    for (const auto& f : fields_) {
        if (!text.empty()) text += ", ";
        try {
            text += printable(f->GetValue());
        } catch (const std::exception&) {
            text += "NULL";  // no current row
        }
    }
    return text;
}

std::string statement::error_context() const {
    std::string text = kind == stmt_insert
                           ? "[Original statement: '" + tovi::driver::sql_for_context(key) +
                                 "'; Current statement: '" +
                                 tovi::driver::sql_for_context(current_sql_)
                           : "[statement: '" + tovi::driver::sql_for_context(key);
    if (insert_.size() > 0 && !fields_.empty()) text += "; Parameters: " + field_values();
    text += "'] [Driver: tovi_ado; Provider: " + owner->get_owner().provider() + "]";
    return text + owner->get_cache().statistics();
}

void statement::fail(const adodb::com_error* cause, const std::string& message) const {
    const auto native = errors_exception(owner->get_owner().ado(), cause);
    if (message.empty()) tovi::driver::translate(owner->get_owner(), native, error_context());
    exception outer(message, 0);
    outer.set_data(native.get_entry(0).message, native.get_entry(0).code);
    tovi::driver::translate(owner->get_owner(), outer, error_context());
}

}  // namespace tovi::ado
