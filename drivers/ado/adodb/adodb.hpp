// tovi's ADO stand-in: the part of ActiveX Data Objects (ADODB and ADOX) that the
// ADO driver uses, with ADO's object names, members, enumeration values, result
// codes and texts. Objects are created by ProgID and counted by reference like
// COM objects; a failing member throws adodb::com_error (a _com_error with ADO's
// description), and a provider failure also fills the connection's Errors
// collection. The one provider is Jet ("Microsoft.Jet.OLEDB..."), which keeps a
// database in one file on SQLite (jet_provider.hpp).
#ifndef TOVI_DRIVERS_ADO_ADODB_ADODB_HPP
#define TOVI_DRIVERS_ADO_ADODB_ADODB_HPP

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include <tovi/oleauto.hpp>

namespace adodb {

// --- ADO's enumerations (the values the driver passes)
enum CursorTypeEnum {
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };
enum CommandTypeEnum { adCmdText = 1 };
enum ExecuteOptionEnum { adExecuteNoRecords = 0x80 };
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };
enum EditModeEnum { adEditNone = 0, adEditAdd = 2 };
enum ConnectOptionEnum { adConnectUnspecified = -1 };
// A field's type as ADO names it.
enum DataTypeEnum {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adDouble = 5,
    adDate = 7,
    adBoolean = 11,
    adBigInt = 20,
    adLongVarBinary = 205,
    adLongVarWChar = 203,
    adVarWChar = 202,
};

// --- result codes
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);  // unknown ProgID
constexpr HRESULT adErrNoCurrentRecord = static_cast<HRESULT>(0x800A0BCDu);
constexpr HRESULT adErrItemNotFound = static_cast<HRESULT>(0x800A0CC1u);
constexpr HRESULT adErrFeatureNotAvailable = static_cast<HRESULT>(0x800A0CB3u);
constexpr HRESULT adErrObjectClosed = static_cast<HRESULT>(0x800A0E78u);
constexpr HRESULT adErrObjectOpen = static_cast<HRESULT>(0x800A0E79u);
constexpr HRESULT adErrProviderNotFound = static_cast<HRESULT>(0x800A0E7Au);
constexpr HRESULT adErrInvalidArgument = static_cast<HRESULT>(0x800A0BB9u);

// The error a member throws: the HRESULT and ADO's or the provider's description.
class com_error : public _com_error {
public:
    com_error(HRESULT hr, std::string description)
        : _com_error(hr), description_(std::move(description)) {}
    _bstr_t Description() const { return _bstr_t(description_); }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string description_;
};

// Reference counting as COM objects do it; an object deletes itself at zero.
class object {
public:
    object() = default;
    object(const object&) = delete;
    object& operator=(const object&) = delete;
    ULONG AddRef() noexcept { return ++refs_; }
    ULONG Release() noexcept {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~object() = default;

private:
    std::atomic<ULONG> refs_{0};
};

// An interface pointer that holds one reference (the #import smart pointers).
template <class T>
class ptr {
public:
    ptr() noexcept = default;
    ptr(T* p) noexcept : p_(p) {  // NOLINT: implicit, as the smart pointers are
        if (p_) p_->AddRef();
    }
    ptr(const ptr& other) noexcept : ptr(other.p_) {}
    ptr(ptr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ptr& operator=(ptr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ptr() { Release(); }
    void Release() noexcept {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // Creates the object a ProgID names (the one T is); the HRESULT of creation.
    HRESULT CreateInstance(const char* progid);
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    T* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

class Connection;
class Command;
class Recordset;
class Fields;
class Field;
class Errors;
class Properties;
class Parameters;
class provider_session;  // the provider's open database (jet_provider.hpp)
class provider_statement;

// One entry of a connection's Errors collection.
class Error : public object {
public:
    Error(std::string sql_state, long native, std::string description)
        : sql_state_(std::move(sql_state)), native_(native), description_(std::move(description)) {}
    _bstr_t GetSQLState() const { return _bstr_t(sql_state_); }
    long GetNativeError() const { return native_; }
    _bstr_t GetDescription() const { return _bstr_t(description_); }

private:
    std::string sql_state_;
    long native_;
    std::string description_;
};

class Errors : public object {
public:
    long GetCount() const;
    // 0 <= i < GetCount(); otherwise adErrItemNotFound.
    ptr<Error> GetItem(const _variant_t& index) const;
    void Clear();
    void add(ptr<Error> error);

private:
    std::vector<ptr<Error>> items_;
};

// A named value (the provider's properties).
class Property : public object {
public:
    Property(std::string name, const _variant_t& value) : name_(std::move(name)), value_(value) {}
    _bstr_t GetName() const { return _bstr_t(name_); }
    _variant_t GetValue() const { return value_; }
    void PutValue(const _variant_t& value) { value_ = value; }

private:
    std::string name_;
    _variant_t value_;
};

class Properties : public object {
public:
    long GetCount() const;
    // By name (text) or by position; adErrItemNotFound when there is none.
    ptr<Property> GetItem(const _variant_t& index) const;
    void add(ptr<Property> property);

private:
    std::vector<ptr<Property>> items_;
};

class Connection : public object {
public:
    Connection();
    _bstr_t GetVersion() const;
    long GetState() const;
    void PutMode(long mode);
    // options: adConnectUnspecified. adErrProviderNotFound for a provider other
    // than Jet; a provider failure fills Errors and throws.
    void Open(const _bstr_t& connection_string, const _bstr_t& user, const _bstr_t& password,
              long options);
    void Close();
    ptr<Properties> GetProperties() const;
    ptr<Errors> GetErrors() const;
    // Runs one statement; `affected` (may be null) receives the rows changed. With
    // adExecuteNoRecords in `options` no recordset is returned.
    ptr<Recordset> Execute(const _bstr_t& text, VARIANT* affected, long options);
    // Levels nest; the new level is returned. The provider begins natively at
    // the first change in a level, so that work that only reads holds no lock
    // (Jet readers never keep a writer from committing).
    long BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // --- for the stand-in's own objects
    provider_session& session();  // adErrObjectClosed when not open
    // Before a change: the levels begun but not yet native begin natively.
    void before_write();
    // Records a provider failure in Errors and throws it.
    [[noreturn]] void fail(HRESULT hr, const std::string& sql_state, long native,
                           const std::string& description);

    // Counts opens, so that a command prepared before a reopen prepares again.
    long opens() const { return opens_; }

private:
    ~Connection() override;
    ptr<Errors> errors_;
    ptr<Properties> properties_;
    provider_session* session_ = nullptr;
    long mode_ = 0;
    int level_ = 0;
    int begun_ = 0;  // levels begun natively
    long opens_ = 0;
};

// One parameter of a command, as a marker of its text numbers it.
class Parameter : public object {
public:
    _variant_t GetValue() const { return value_; }
    void PutValue(const _variant_t& value) { value_ = value; }

private:
    _variant_t value_;
};

class Parameters : public object {
public:
    long GetCount() const;
    ptr<Parameter> GetItem(const _variant_t& index) const;
    void resize(long count);

private:
    std::vector<ptr<Parameter>> items_;
};

class Command : public object {
public:
    Command();
    void PutRefActiveConnection(Connection* connection);
    ptr<Connection> GetActiveConnection() const { return connection_; }
    void PutCommandType(long type);
    void PutCommandText(const _bstr_t& text);
    _bstr_t GetCommandText() const { return _bstr_t(text_); }
    // The markers of the text (prepared on first use); parameters hold their values.
    ptr<Parameters> GetParameters();
    // `parameters`: a missing value (VT_ERROR or VT_EMPTY) keeps the Parameters'
    // values. With adExecuteNoRecords in `options` no recordset is returned.
    ptr<Recordset> Execute(VARIANT* affected, const VARIANT* parameters, long options);

    // --- for Recordset: the prepared text with the parameters' values bound
    provider_statement& prepared();
    void bind_parameters();

private:
    ~Command() override;
    ptr<Connection> connection_;
    ptr<Parameters> parameters_;
    std::string text_;
    provider_statement* statement_ = nullptr;
    long prepared_in_ = 0;  // the connection's open it was prepared in
};

class Field : public object {
public:
    _bstr_t GetName() const;
    DataTypeEnum GetType() const;
    // The current row's value, or the pending value while a row is being added.
    // adErrNoCurrentRecord at BOF/EOF.
    _variant_t GetValue() const;
    // Only while a row is being added (AddNew); adErrFeatureNotAvailable otherwise.
    void PutValue(const _variant_t& value);

private:
    friend class Recordset;
    friend class Fields;
    Field(Recordset* owner, int column, std::string name)
        : owner_(owner), column_(column), name_(std::move(name)) {}
    Recordset* owner_;  // null once the recordset closed
    int column_;
    std::string name_;
};

class Fields : public object {
public:
    long GetCount() const;
    // By position or by name (case-insensitive); adErrItemNotFound otherwise.
    ptr<Field> GetItem(const _variant_t& index) const;

private:
    friend class Recordset;
    std::vector<ptr<Field>> items_;
};

class Recordset : public object {
public:
    Recordset() = default;
    void PutCacheSize(long rows);
    long GetCacheSize() const { return cache_size_; }
    // `source`: the command whose text is run. A forward-only cursor; with
    // adLockOptimistic (or pessimistic) rows may be added to a single-table source.
    void Open(Command* source, const _variant_t& active_connection, CursorTypeEnum cursor,
              LockTypeEnum lock, long options);
    // Runs the command again with its parameters' current values.
    void Requery(long options);
    // -1: a forward-only cursor does not know its count.
    long GetRecordCount() const;
    ptr<Fields> GetFields() const;
    VARIANT_BOOL GetadoEOF() const;
    VARIANT_BOOL GetBOF() const;
    long GetState() const;
    EditModeEnum GetEditMode() const { return edit_; }
    void MoveNext();
    // Starts a new row; its fields are empty (the table's defaults) until set.
    void AddNew();
    // Writes the new row; on failure the row stays pending (CancelUpdate drops it).
    void Update();
    void CancelUpdate();
    void Close();

private:
    friend class Field;
    ~Recordset() override;
    void run();
    void require_open() const;
    void detach_fields();
    ptr<Command> command_;
    ptr<Fields> fields_;
    long cache_size_ = 1;
    bool open_ = false;
    bool eof_ = true;
    bool bof_ = true;
    LockTypeEnum lock_ = adLockReadOnly;
    EditModeEnum edit_ = adEditNone;
    // The row being added: its table, and per field the column and value once set.
    std::string pending_table_;
    std::vector<std::string> pending_columns_;
    std::vector<_variant_t> pending_values_;
    std::vector<bool> pending_set_;
    // The provider's insertion for the fields set last time (rows of one
    // statement usually set the same fields), and the connection's open it is of.
    std::vector<bool> insert_set_;
    int insert_ = -1;
    long insert_open_ = 0;
    std::vector<const VARIANT*> insert_values_;
};

}  // namespace adodb

namespace adox {

class Catalog : public adodb::object {
public:
    // Creates the database a connection string names (the Jet provider: its
    // file) and returns the open connection, as a connection string text.
    _variant_t Create(const _bstr_t& connection_string);
};

}  // namespace adox

namespace adodb {

// The in-process server behind a ProgID ("ADODB.Connection", "ADODB.Command",
// "ADODB.Recordset", "ADOX.Catalog"): S_OK and a new object with one reference,
// or REGDB_E_CLASSNOTREG.
HRESULT create_instance(const char* progid, object** created) noexcept;

template <class T>
HRESULT ptr<T>::CreateInstance(const char* progid) {
    object* created = nullptr;
    const HRESULT hr = create_instance(progid, &created);
    if (FAILED(hr)) return hr;
    T* typed = dynamic_cast<T*>(created);
    if (typed == nullptr) {
        created->Release();
        return E_INVALIDARG;  // not the kind of object asked for
    }
    Release();
    p_ = typed;  // takes over the creation's reference
    return S_OK;
}

}  // namespace adodb

#endif
