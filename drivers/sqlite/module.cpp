// tovi_sqlite.so: the module's one export.
#include <new>

#include "sqlite_driver.hpp"

TOVI_MODULE_EXPORT tovi::data_source* createDataSource(tovi::url_t* url) {
    return new (std::nothrow) tovi::sqlite::data_source(*url);
}
