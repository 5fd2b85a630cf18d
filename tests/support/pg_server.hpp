// The test run's PostgreSQL server (tests/support/pg_server.sh), as its
// environment file describes it.
#ifndef TOVI_TESTS_SUPPORT_PG_SERVER_HPP
#define TOVI_TESTS_SUPPORT_PG_SERVER_HPP

#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

namespace tovi_test {

struct pg_server {
    std::string port, user, password, database;
    bool running = false;

    // Reads `env_file`; `running` stays false when there is none (no server).
    explicit pg_server(const std::string& env_file) : env_file_(env_file) {
        std::ifstream in(env_file);
        std::map<std::string, std::string> values;
        for (std::string line; std::getline(in, line);) {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
        }
        port = values["PGPORT"];
        user = values["PGUSER"];
        password = values["PGPASSWORD"];
        database = values["PGDATABASE"];
        running = !port.empty();
    }
    // The tovi URL of the server through psqlODBC.
    std::string url() const { return "/ODBC/PostgreSQL Unicode/127.0.0.1/" + port; }
    // An empty public schema in the test database.
    void reset(const std::string& script) const {
        if (!running)
            throw std::runtime_error("no PostgreSQL test server (" + env_file_ +
                                     "): run the tests through ctest, which starts it");
        const std::string command = "bash '" + script + "' reset '" + env_file_ + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("could not reset the test database: " + command);
    }

private:
    std::string env_file_;
};

}  // namespace tovi_test

#endif
