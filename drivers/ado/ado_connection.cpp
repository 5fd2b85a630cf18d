// ADO connections.
#include "ado_connection.hpp"

#include <boost/filesystem/operations.hpp>

#include "ado_bindings.hpp"  // the framework instantiates every class of the driver here
#include "ado_errors.hpp"

namespace tovi::ado {

namespace {

// A provider property, when the provider has it.
void set_property(adodb::Connection& c, const char* name, const _variant_t& value) {
    try {
        c.GetProperties()->GetItem(name)->PutValue(value);
    } catch (const _com_error&) {
        // Not this provider's: nothing to set.
    }
}

}  // namespace

namespace {
// A connection-string value as it stands, or in double quotes (its own doubled)
// when a ";", a quote or an outer blank would change what the provider reads:
// "a;b.mdb" opened a database "a".
std::string quoted(const std::string& value) {
    const bool plain = value.find_first_of(";\"'") == std::string::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) return value;
    std::string text = "\"";
    for (char c : value) text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + "\"";
}
}  // namespace

connection::connection(DataBase& db, const session_t& s) : connection_base(db, s), database_(&db) {
    const HRESULT hr = ado_.CreateInstance("ADODB.Connection");
    if (FAILED(hr)) throw exception("Failed to create a connection.", hr);
    const svc_provider_t& p = db.get_repository().get_provider();
    const service_t& service = db.get_service();
    const std::string text = "Provider=" + p.provider + ";Data Source=" + quoted(service.server);
    try {
        if (p.provider.compare(0, 19, "Microsoft.Jet.OLEDB") == 0 &&
            !boost::filesystem::exists(service.server)) {
            adodb::ptr<adox::Catalog> catalog;
            const HRESULT created = catalog.CreateInstance("ADOX.Catalog");
            if (FAILED(created))
                throw exception(
                    "Failed to create an ADOX.Catalog. ADO components may be not intalled "
                    "properly.",
                    created);
            catalog->Create(text.c_str());
        }
        ado_->PutMode(0);
        ado_->Open(text.c_str(), s.user.c_str(), s.password.c_str(), adodb::adConnectUnspecified);
        set_property(*ado_, "Jet OLEDB:User Commit Sync", _variant_t(short(-1)));
        set_property(*ado_, "Jet OLEDB:Implicit Commit Sync", _variant_t(short(-1)));
        set_property(*ado_, "Jet OLEDB:Page Timeout", _variant_t(500));
        set_property(*ado_, "Jet OLEDB:Max Locks Per File", _variant_t(100000));
        if (p.source == svc_provider_t::src_mssql || p.source == svc_provider_t::src_sybasesql)
            ado_->Execute(("USE " + service.database).c_str(), nullptr,
                          adodb::adCmdText | adodb::adExecuteNoRecords);
    } catch (const adodb::com_error& e) {
        fail_to_connect(e);
    }
}

connection::~connection() = default;  // the ADO connection rolls back what is open

const std::string& connection::provider() const {
    return database_->get_repository().get_provider().provider;
}

void connection::fail_to_connect(const adodb::com_error& cause) {
    const std::string context = "[" + cause.Description().str() + "] [Provider: '" + provider() +
                                "'; Database name: '" + database_->get_service().server +
                                "'; User name: '" + get_session().user + "']";
    tovi::driver::translate(*this, errors_exception(*ado_, &cause), context);
}

void connection::fail(const adodb::com_error* cause, const std::string& context) {
    tovi::driver::translate(*this, errors_exception(*ado_, cause), context);
}

}  // namespace tovi::ado
