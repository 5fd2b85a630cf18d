// Uses the installed tovi: parses a URL and raises a classified error.
#include <tovi/tovi.hpp>

#include <iostream>

int main() {
    tovi::api library;
    tovi::uurl_t url("/ODBC/SQL Server/myhost", "", "", "db1");
    if (url.get_service().port != 1433) return 1;
    try {
        throw tovi::dup_value_on_index(19);
    } catch (const tovi::data_already_exist& e) {
        if (e.get_error_text() != "Duplicate value on index.\n") return 1;
    }
    std::cout << "consumer: " << url.get_service().server << " port " << url.get_service().port
              << "\n";
    return 0;
}
