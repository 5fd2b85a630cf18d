// A connection: the database attachment and the service-manager attachment.
#ifndef TOVI_DRIVERS_IBEMB_IB_CONNECTION_HPP
#define TOVI_DRIVERS_IBEMB_IB_CONNECTION_HPP

#include "ib_driver.hpp"
#include "ib_service.hpp"
#include "ib_status.hpp"

namespace tovi::ib {

class connection : public tovi::driver::connection_base<driver> {
public:
    // Attaches the database named by the service (an embedded one that does not
    // exist is created) and the service manager; failures are translated with
    // "[Driver: tovi_ib; Database: '<server>']".
    connection(DataBase& db, const session_t& s);
    // Detaches both; failures are of no use here.
    ~connection() override;
    void open() override {}
    void close() override {}

    isc_db_handle db = 0;
    isc_svc_handle service = 0;

private:
    // Creates `file` whole, or finds it made by another process meanwhile.
    void create_database(const std::string& file);

    param_buffer dpb_;
};

}  // namespace tovi::ib

#endif
