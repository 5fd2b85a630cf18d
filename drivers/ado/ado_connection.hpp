// A connection: one ADODB.Connection on "Provider=<provider>;Data Source=<server>";
// a Jet database file is created (ADOX.Catalog) when it is missing.
#ifndef TOVI_DRIVERS_ADO_ADO_CONNECTION_HPP
#define TOVI_DRIVERS_ADO_ADO_CONNECTION_HPP

#include <string>

#include "ado_driver.hpp"

namespace tovi::ado {

class connection : public tovi::driver::connection_base<driver> {
public:
    // Creates and opens the ADO connection; a failure leaves translated with the
    // connection's context.
    connection(DataBase& db, const session_t& s);
    ~connection() override;
    void open() override {}
    void close() override {}

    // A native transaction (BeginTrans) is open: the transactions share it.
    bool native_open = false;
    adodb::Connection& ado() { return *ado_; }
    const std::string& provider() const;
    // Translates an ADO failure with the statement or transaction context given.
    [[noreturn]] void fail(const adodb::com_error* cause, const std::string& context);

private:
    [[noreturn]] void fail_to_connect(const adodb::com_error& cause);

    DataBase* database_;
    adodb::ptr<adodb::Connection> ado_;
};

}  // namespace tovi::ado

#endif
