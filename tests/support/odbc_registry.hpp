// A private ODBC driver registry for a test process: an odbcinst.ini in a
// directory of the test's own, naming Debian's SQLite ODBC driver as
// "SQLite3 ODBC Driver" (and, when given, the tests' stub driver as "SQLite3 Stub",
// a name that selects the SQLite dialect), and ODBCSYSINI pointing to it.
// unixODBC reads the file once per process: make the registry before the first
// ODBC call.
#ifndef TOVI_TESTS_SUPPORT_ODBC_REGISTRY_HPP
#define TOVI_TESTS_SUPPORT_ODBC_REGISTRY_HPP

#include <cstdlib>
#include <fstream>
#include <string>

#include "temp_dir.hpp"

namespace tovi_test {

class odbc_registry {
public:
    // `sqlite_driver`: the path of the SQLite ODBC driver's library;
    // `stub_driver`: the path of the stub ODBC driver, or empty.
    explicit odbc_registry(const std::string& sqlite_driver, const std::string& stub_driver = "") {
        std::ofstream ini(dir_.file("odbcinst.ini"));
        // DontDLClose: the driver stays loaded until the process ends, so what it
        // keeps for good is still reachable for the leak checker, not a leak.
        ini << "[SQLite3 ODBC Driver]\nDescription=SQLite3 for tovi's tests\nDriver="
            << sqlite_driver << "\nDontDLClose=1\n"
            << "[SQLite3 Broken]\nDescription=a section without a library\n";
        if (!stub_driver.empty())
            ini << "[SQLite3 Stub]\nDriver=" << stub_driver << "\nDontDLClose=1\n";
        ini.close();
        setenv("ODBCSYSINI", dir_.path().c_str(), 1);
        setenv("ODBCINSTINI", "odbcinst.ini", 1);
    }
    const std::string& path() const { return dir_.path(); }

private:
    temp_dir dir_;
};

}  // namespace tovi_test

#endif
