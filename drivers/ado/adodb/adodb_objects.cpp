// The stand-in's objects: connections, commands, recordsets and their
// collections, the catalog, and creation by ProgID.
#include <cctype>
#include <cstring>
#include <new>

#include "adodb.hpp"
#include "jet_provider.hpp"

namespace adodb {

namespace {

[[noreturn]] void ado_error(HRESULT hr, const char* description) {
    throw com_error(hr, description);
}

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of `key` in "Key=Value;Key=Value" ("" when absent).
std::string attribute(const std::string& connection_string, const char* key) {
    // name=value pairs separated by ";"; a value in double or single quotes holds
    // any character, its quote doubled (the OLE DB rule), so a file name with ";"
    // stays one value.
    std::size_t start = 0;
    while (start < connection_string.size()) {
        const std::size_t equals = connection_string.find('=', start);
        if (equals == std::string::npos) break;
        const std::string name = trimmed(connection_string.substr(start, equals - start));
        std::size_t at = equals + 1;
        while (at < connection_string.size() && connection_string[at] == ' ') ++at;
        std::string value;
        std::size_t end;
        if (at < connection_string.size() &&
            (connection_string[at] == '"' || connection_string[at] == '\'')) {
            const char quote = connection_string[at];
            std::size_t i = at + 1;
            for (; i < connection_string.size(); ++i) {
                if (connection_string[i] != quote) {
                    value += connection_string[i];
                } else if (i + 1 < connection_string.size() && connection_string[i + 1] == quote) {
                    value += quote;
                    ++i;
                } else {
                    break;
                }
            }
            end = connection_string.find(';', i);
        } else {
            end = connection_string.find(';', at);
            value = trimmed(connection_string.substr(
                at, end == std::string::npos ? std::string::npos : end - at));
        }
        if (same_name(name, key)) return value;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return "";
}

// A position from a VARIANT index (by number).
long position(const _variant_t& index, long count) {
    VARIANT as_long;
    VariantInit(&as_long);
    if (FAILED(VariantChangeType(&as_long, &index, 0, VT_I4)) || as_long.lVal < 0 ||
        as_long.lVal >= count)
        ado_error(adErrItemNotFound,
                  "Item cannot be found in the collection corresponding to the requested name or "
                  "ordinal.");
    return as_long.lVal;
}

// A collection's item by name (text, any case) or by position.
template <class Item, class NameOf>
ptr<Item> item_of(const std::vector<ptr<Item>>& items, const _variant_t& index, NameOf name_of) {
    if (index.vt == VT_BSTR) {
        const std::string name = _bstr_t(index.bstrVal, true).str();
        for (const auto& item : items)
            if (same_name(name_of(*item), name)) return item;
        ado_error(adErrItemNotFound,
                  "Item cannot be found in the collection corresponding to the requested name or "
                  "ordinal.");
    }
    return items[static_cast<std::size_t>(position(index, static_cast<long>(items.size())))];
}

const char* const not_updatable =
    "Current Recordset does not support updating. This may be a limitation of the provider, or of "
    "the "
    "selected locktype.";

}  // namespace

// --- collections

long Errors::GetCount() const {
    return static_cast<long>(items_.size());
}
ptr<Error> Errors::GetItem(const _variant_t& index) const {
    return items_[static_cast<std::size_t>(position(index, GetCount()))];
}
void Errors::Clear() {
    items_.clear();
}
void Errors::add(ptr<Error> error) {
    items_.push_back(std::move(error));
}

long Properties::GetCount() const {
    return static_cast<long>(items_.size());
}
ptr<Property> Properties::GetItem(const _variant_t& index) const {
    return item_of(items_, index, [](const Property& p) { return p.GetName().str(); });
}
void Properties::add(ptr<Property> property) {
    items_.push_back(std::move(property));
}

long Parameters::GetCount() const {
    return static_cast<long>(items_.size());
}
ptr<Parameter> Parameters::GetItem(const _variant_t& index) const {
    return items_[static_cast<std::size_t>(position(index, GetCount()))];
}
void Parameters::resize(long count) {
    items_.resize(static_cast<std::size_t>(count));
    for (auto& item : items_)
        if (!item) item = new Parameter();
}

long Fields::GetCount() const {
    return static_cast<long>(items_.size());
}
ptr<Field> Fields::GetItem(const _variant_t& index) const {
    return item_of(items_, index, [](const Field& f) { return f.name_; });
}

// --- Connection

Connection::Connection() : errors_(new Errors()), properties_(new Properties()) {}

Connection::~Connection() {
    delete session_;
}

_bstr_t Connection::GetVersion() const {
    return _bstr_t("2.8");
}

long Connection::GetState() const {
    return session_ != nullptr ? adStateOpen : adStateClosed;
}

void Connection::PutMode(long mode) {
    if (session_ != nullptr)
        ado_error(adErrObjectOpen, "Operation is not allowed when the object is open.");
    mode_ = mode;
}

void Connection::Open(const _bstr_t& connection_string, const _bstr_t&, const _bstr_t&, long) {
    if (session_ != nullptr)
        ado_error(adErrObjectOpen, "Operation is not allowed when the object is open.");
    const std::string text = connection_string.str();
    if (!provider_session::serves(attribute(text, "Provider")))
        fail(adErrProviderNotFound, "", 0,
             "Provider cannot be found. It may not be properly installed.");
    try {
        session_ = new provider_session(attribute(text, "Data Source"));
    } catch (const provider_error& e) {
        fail(e.hr, e.sql_state, e.native, e.description);
    }
    ++opens_;
    errors_->Clear();
    level_ = begun_ = 0;
    properties_ = new Properties();
    properties_->add(new Property("Jet OLEDB:User Commit Sync", _variant_t(short(-1))));
    properties_->add(new Property("Jet OLEDB:Implicit Commit Sync", _variant_t(short(0))));
    properties_->add(new Property("Jet OLEDB:Page Timeout", _variant_t(5000)));
    properties_->add(new Property("Jet OLEDB:Max Locks Per File", _variant_t(9500)));
    properties_->add(
        new Property("Data Source", _variant_t(attribute(text, "Data Source").c_str())));
}

void Connection::Close() {
    if (session_ == nullptr)
        ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
    delete session_;  // an open transaction is rolled back
    session_ = nullptr;
    level_ = begun_ = 0;
}

ptr<Properties> Connection::GetProperties() const {
    return properties_;
}

ptr<Errors> Connection::GetErrors() const {
    return errors_;
}

provider_session& Connection::session() {
    if (session_ == nullptr)
        ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
    return *session_;
}

void Connection::fail(HRESULT hr, const std::string& sql_state, long native,
                      const std::string& description) {
    errors_->Clear();
    errors_->add(new Error(sql_state, native, description));
    throw com_error(hr, description);
}

ptr<Recordset> Connection::Execute(const _bstr_t& text, VARIANT* affected, long options) {
    ptr<Command> command(new Command());
    command->PutRefActiveConnection(this);
    command->PutCommandText(text);
    return command->Execute(affected, nullptr, options);
}

long Connection::BeginTrans() {
    session();
    return ++level_;
}

void Connection::before_write() {
    provider_session& s = session();
    try {
        while (begun_ < level_) {
            s.begin(begun_ + 1);
            ++begun_;
        }
    } catch (const provider_error& e) {
        fail(e.hr, e.sql_state, e.native, e.description);
    }
}

void Connection::CommitTrans() {
    provider_session& s = session();
    if (level_ == 0) fail(E_FAIL, "HY000", 0, "No transaction is active.");
    if (begun_ >= level_) {
        try {
            s.commit(level_);
        } catch (const provider_error& e) {
            fail(e.hr, e.sql_state, e.native, e.description);
        }
        begun_ = level_ - 1;
    }
    --level_;
}

void Connection::RollbackTrans() {
    provider_session& s = session();
    if (level_ == 0) fail(E_FAIL, "HY000", 0, "No transaction is active.");
    const int level = level_--;  // ended even when the engine had ended it already
    if (begun_ >= level) {
        begun_ = level - 1;
        try {
            s.rollback(level);
        } catch (const provider_error& e) {
            fail(e.hr, e.sql_state, e.native, e.description);
        }
    }
}

// --- Command

Command::Command() : parameters_(new Parameters()) {}

Command::~Command() {
    delete statement_;
}

void Command::PutRefActiveConnection(Connection* connection) {
    connection_ = connection;
    delete statement_;
    statement_ = nullptr;
}

void Command::PutCommandType(long type) {
    if (type != adCmdText) ado_error(adErrInvalidArgument, "Only text commands are supported.");
}

void Command::PutCommandText(const _bstr_t& text) {
    text_ = text.str();
    delete statement_;
    statement_ = nullptr;
}

provider_statement& Command::prepared() {
    if (!connection_)
        ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
    provider_session& session = connection_->session();
    if (statement_ != nullptr && prepared_in_ == connection_->opens()) return *statement_;
    delete statement_;
    statement_ = nullptr;
    try {
        statement_ = session.prepare(text_);
    } catch (const provider_error& e) {
        connection_->fail(e.hr, e.sql_state, e.native, e.description);
    }
    prepared_in_ = connection_->opens();
    parameters_->resize(statement_->parameter_count());
    return *statement_;
}

ptr<Parameters> Command::GetParameters() {
    prepared();
    return parameters_;
}

void Command::bind_parameters() {
    provider_statement& statement = prepared();
    statement.close();  // values bind only between runs
    try {
        for (long i = 0; i < parameters_->GetCount(); ++i)
            statement.bind(static_cast<int>(i), parameters_->GetItem(_variant_t(i))->GetValue());
    } catch (const provider_error& e) {
        connection_->fail(e.hr, e.sql_state, e.native, e.description);
    }
}

ptr<Recordset> Command::Execute(VARIANT* affected, const VARIANT* parameters, long options) {
    if (parameters != nullptr && parameters->vt != VT_EMPTY && parameters->vt != VT_ERROR)
        ado_error(adErrInvalidArgument, "Parameters are passed through the Parameters collection.");
    provider_statement& statement = prepared();
    if (statement.column_count() > 0 && (options & adExecuteNoRecords) == 0) {
        ptr<Recordset> rows(new Recordset());
        rows->Open(this, _variant_t(), adOpenForwardOnly, adLockReadOnly, adCmdText);
        return rows;
    }
    bind_parameters();
    if (statement.writes()) connection_->before_write();
    long changed = 0;
    try {
        changed = statement.execute();
    } catch (const provider_error& e) {
        connection_->fail(e.hr, e.sql_state, e.native, e.description);
    }
    if (affected != nullptr) {
        VariantClear(affected);
        affected->vt = VT_I4;
        affected->lVal = static_cast<LONG>(changed);
    }
    return nullptr;
}

// --- Field

_bstr_t Field::GetName() const {
    return _bstr_t(name_);
}

DataTypeEnum Field::GetType() const {
    if (owner_ == nullptr)
        ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
    return owner_->command_->prepared().column_type(column_);
}

_variant_t Field::GetValue() const {
    if (owner_ == nullptr)
        ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
    if (owner_->edit_ == adEditAdd)
        return owner_->pending_values_[static_cast<std::size_t>(column_)];
    if (owner_->eof_)
        ado_error(adErrNoCurrentRecord,
                  "Either BOF or EOF is True, or the current record has been deleted. Requested "
                  "operation "
                  "requires a current record.");
    try {
        return owner_->command_->prepared().column_value(column_);
    } catch (const provider_error& e) {
        owner_->command_->GetActiveConnection()->fail(e.hr, e.sql_state, e.native, e.description);
    }
}

void Field::PutValue(const _variant_t& value) {
    if (owner_ == nullptr)
        ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
    if (owner_->edit_ != adEditAdd) ado_error(adErrFeatureNotAvailable, not_updatable);
    owner_->pending_values_[static_cast<std::size_t>(column_)] = value;
    owner_->pending_set_[static_cast<std::size_t>(column_)] = true;
}

// --- Recordset

Recordset::~Recordset() {
    detach_fields();
}

void Recordset::detach_fields() {
    if (!fields_) return;
    for (auto& field : fields_->items_) field->owner_ = nullptr;
    fields_.Release();
}

void Recordset::PutCacheSize(long rows) {
    if (rows < 1) ado_error(adErrInvalidArgument, "The cache size must be at least 1.");
    cache_size_ = rows;
}

void Recordset::require_open() const {
    if (!open_) ado_error(adErrObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::Open(Command* source, const _variant_t&, CursorTypeEnum, LockTypeEnum lock, long) {
    if (open_) ado_error(adErrObjectOpen, "Operation is not allowed when the object is open.");
    if (source == nullptr || !source->GetActiveConnection())
        ado_error(adErrInvalidArgument,
                  "Arguments are of the wrong type, are out of acceptable range, or are in "
                  "conflict with one "
                  "another.");
    command_ = source;
    lock_ = lock;
    run();
    open_ = true;
}

void Recordset::run() {
    CancelUpdate();
    detach_fields();
    pending_table_.clear();  // found again at the next AddNew
    insert_ = -1;
    provider_statement& statement = command_->prepared();
    command_->bind_parameters();
    try {
        // A recordset that adds rows reads none: a pending read would hold the
        // file's lock after the transaction that the rows are written in.
        eof_ = lock_ == adLockReadOnly ? !statement.first() : true;
    } catch (const provider_error& e) {
        eof_ = true;
        command_->GetActiveConnection()->fail(e.hr, e.sql_state, e.native, e.description);
    }
    bof_ = eof_;
    fields_ = new Fields();
    for (int i = 0; i < statement.column_count(); ++i)
        fields_->items_.push_back(new Field(this, i, statement.column_name(i)));
}

void Recordset::Requery(long) {
    require_open();
    run();
}

long Recordset::GetRecordCount() const {
    require_open();
    return -1;
}

ptr<Fields> Recordset::GetFields() const {
    require_open();
    return fields_;
}

VARIANT_BOOL Recordset::GetadoEOF() const {
    require_open();
    return eof_ ? VARIANT_TRUE : VARIANT_FALSE;
}

VARIANT_BOOL Recordset::GetBOF() const {
    require_open();
    return bof_ ? VARIANT_TRUE : VARIANT_FALSE;
}

long Recordset::GetState() const {
    return open_ ? adStateOpen : adStateClosed;
}

void Recordset::MoveNext() {
    require_open();
    if (eof_)
        ado_error(adErrNoCurrentRecord,
                  "Either BOF or EOF is True, or the current record has been deleted. Requested "
                  "operation "
                  "requires a current record.");
    CancelUpdate();
    bof_ = false;
    try {
        eof_ = !command_->prepared().next();
    } catch (const provider_error& e) {
        eof_ = true;
        command_->GetActiveConnection()->fail(e.hr, e.sql_state, e.native, e.description);
    }
}

void Recordset::AddNew() {
    require_open();
    if (lock_ == adLockReadOnly) ado_error(adErrFeatureNotAvailable, not_updatable);
    if (pending_table_.empty()) {  // the table and its columns, once per run
        const provider_statement& statement = command_->prepared();
        pending_table_ = statement.base_table();
        if (pending_table_.empty()) ado_error(adErrFeatureNotAvailable, not_updatable);
        const std::size_t count = static_cast<std::size_t>(statement.column_count());
        pending_columns_.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            pending_columns_[i] = statement.base_column(static_cast<int>(i));
        pending_values_.resize(count);
    }
    for (_variant_t& v : pending_values_) v.Clear();
    pending_set_.assign(pending_columns_.size(), false);
    edit_ = adEditAdd;
}

void Recordset::Update() {
    require_open();
    if (edit_ != adEditAdd) return;
    ptr<Connection> connection = command_->GetActiveConnection();
    connection->before_write();
    insert_values_.clear();
    for (std::size_t i = 0; i < pending_set_.size(); ++i)
        if (pending_set_[i]) insert_values_.push_back(&pending_values_[i]);
    try {
        provider_session& session = connection->session();
        if (insert_ < 0 || insert_set_ != pending_set_ || insert_open_ != connection->opens()) {
            std::vector<std::string> columns;
            for (std::size_t i = 0; i < pending_set_.size(); ++i)
                if (pending_set_[i]) columns.push_back(pending_columns_[i]);
            insert_ = session.prepare_insert(pending_table_, columns);
            insert_set_ = pending_set_;
            insert_open_ = connection->opens();
        }
        session.insert_row(insert_, insert_values_);
    } catch (const provider_error& e) {
        connection->fail(e.hr, e.sql_state, e.native, e.description);  // the row stays pending
    }
    CancelUpdate();
}

void Recordset::CancelUpdate() {
    edit_ = adEditNone;
}

void Recordset::Close() {
    require_open();
    CancelUpdate();
    detach_fields();
    command_->prepared().close();
    open_ = false;
    eof_ = bof_ = true;
}

}  // namespace adodb

namespace adox {

_variant_t Catalog::Create(const _bstr_t& connection_string) {
    const std::string text = connection_string.str();
    if (!adodb::provider_session::serves(adodb::attribute(text, "Provider")))
        throw adodb::com_error(adodb::adErrProviderNotFound,
                               "Provider cannot be found. It may not be properly installed.");
    try {
        adodb::provider_session::create(adodb::attribute(text, "Data Source"));
    } catch (const adodb::provider_error& e) {
        throw adodb::com_error(e.hr, e.description);
    }
    return _variant_t(text.c_str());
}

}  // namespace adox

namespace adodb {

HRESULT create_instance(const char* progid, object** created) noexcept {
    if (created == nullptr || progid == nullptr) return E_POINTER;
    *created = nullptr;
    object* made = nullptr;
    try {
        if (std::strcmp(progid, "ADODB.Connection") == 0)
            made = new Connection();
        else if (std::strcmp(progid, "ADODB.Command") == 0)
            made = new Command();
        else if (std::strcmp(progid, "ADODB.Recordset") == 0)
            made = new Recordset();
        else if (std::strcmp(progid, "ADOX.Catalog") == 0)
            made = new adox::Catalog();
        else
            return REGDB_E_CLASSNOTREG;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (made == nullptr) return E_OUTOFMEMORY;
    made->AddRef();
    *created = made;
    return S_OK;
}

}  // namespace adodb
