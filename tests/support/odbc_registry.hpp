// A private ODBC driver registry for a test process: an odbcinst.ini in a
// directory of the test's own, and ODBCSYSINI pointing to it. unixODBC reads the
// file once per process: make the registry, and add every driver, before the
// first ODBC call.
#ifndef TOVI_TESTS_SUPPORT_ODBC_REGISTRY_HPP
#define TOVI_TESTS_SUPPORT_ODBC_REGISTRY_HPP

#include <cstdlib>
#include <fstream>
#include <string>

#include "temp_dir.hpp"

namespace tovi_test {

class odbc_registry {
public:
    odbc_registry() {
        std::ofstream(dir_.file("odbcinst.ini"))
            << "[SQLite3 Broken]\nDescription=a section without a library\n";
        setenv("ODBCSYSINI", dir_.path().c_str(), 1);
        setenv("ODBCINSTINI", "odbcinst.ini", 1);
    }
    // Debian's SQLite ODBC driver as "SQLite3 ODBC Driver" and, when given, the
    // tests' stub driver as "SQLite3 Stub" (a name that selects the SQLite dialect).
    explicit odbc_registry(const std::string& sqlite_driver, const std::string& stub_driver = "")
        : odbc_registry() {
        add("SQLite3 ODBC Driver", sqlite_driver);
        if (!stub_driver.empty()) add("SQLite3 Stub", stub_driver);
    }
    // Registers the driver library `path` as `name`. DontDLClose: the driver stays
    // loaded until the process ends, so what it keeps for good is still reachable
    // for the leak checker, not a leak.
    void add(const std::string& name, const std::string& path) {
        std::ofstream(dir_.file("odbcinst.ini"), std::ios::app)
            << "[" << name << "]\nDriver=" << path << "\nDontDLClose=1\n";
    }
    const std::string& path() const { return dir_.path(); }

private:
    temp_dir dir_;
};

// The one registry of a process whose parts each add their drivers.
inline odbc_registry& process_registry() {
    static odbc_registry registry;
    return registry;
}

}  // namespace tovi_test

#endif
