// The test run's PostgreSQL server (tests/support/pg_server.sh), as its
// environment file describes it.
#ifndef TOVI_TESTS_SUPPORT_PG_SERVER_HPP
#define TOVI_TESTS_SUPPORT_PG_SERVER_HPP

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.hpp"

namespace tovi_test {

struct pg_server {
    std::string port, user, password, database;
    bool running = false;

    // Reads `env_file`; `running` stays false when there is none (no server).
    // `script`: tests/support/pg_server.sh.
    pg_server(const std::string& env_file, const std::string& script)
        : env_file_(env_file), script_(script) {
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
    // A new, empty database for one test (tests run at the same time), named
    // from `dir`, the test's own directory: its last part, and a number from
    // the whole path (two checks' directories "other" are two databases);
    // drop() removes it.
    std::string create(const std::string& dir) const {
        if (!running)
            throw std::runtime_error("no PostgreSQL test server (" + env_file_ +
                                     "): run the tests through ctest, which starts it");
        std::string name = "t_";
        for (char c : dir.substr(dir.find_last_of('/') + 1).substr(0, 40))
            name += std::isalnum(static_cast<unsigned char>(c))
                        ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                        : '_';
        name += "_" + std::to_string(std::hash<std::string>()(dir) % 1000000007UL);
        run("create", name);
        return name;
    }
    void drop(const std::string& name) const { run("drop", name); }

private:
    void run(const std::string& command, const std::string& name) const {
        const std::string line =
            "bash '" + script_ + "' " + command + " '" + env_file_ + "' '" + name + "'";
        if (std::system(line.c_str()) != 0)
            throw std::runtime_error("the test server failed: " + line);
    }

    std::string env_file_;
    std::string script_;
};

// A server of one test's own (pg_server.sh COMMAND on its environment file),
// stopped and removed however the test ends. `Script`: pg_server.sh.
class own_pg_server {
public:
    explicit own_pg_server(std::string script) : script_(std::move(script)) {}
    own_pg_server(const own_pg_server&) = delete;
    own_pg_server& operator=(const own_pg_server&) = delete;
    ~own_pg_server() { (*this)("stop"); }
    // start, stop, pause or resume; the script's exit status.
    int operator()(const std::string& command) const {
        const std::string line = "bash '" + script_ + "' " + command + " '" + env_ + "' >/dev/null";
        return std::system(line.c_str());
    }
    pg_server described() const { return {env_, script_}; }

private:
    std::string script_;
    temp_dir dir_;
    std::string env_ = dir_.file("own.env");
};

// What a conformance case of a driver that reaches the test run's server needs:
// its credentials, a fresh database per check (dropped afterwards) and the
// server's types. `Case` is tovi_conformance::driver_case.
template <class Case>
void use_test_server(Case& c, const pg_server& server) {
    c.user = server.user;
    c.password = server.password;
    auto made = std::make_shared<std::vector<std::string>>();
    c.database = [server, made](const std::string& dir) {
        made->push_back(server.create(dir));
        return made->back();
    };
    c.tear_down = [server, made] {
        for (const std::string& name : *made) server.drop(name);
        made->clear();
    };
    c.integer_type = "BIGINT";
    c.real_type = "DOUBLE PRECISION";
    c.text_type = "TEXT";
    c.blob_type = "BYTEA";
    c.boolean_type = "BOOLEAN";
    c.date_type = "TIMESTAMP";
    c.lacks("any_credentials", "the server checks every user name and password");
    c.lacks("database_file", "the database is the server's, not a file this process opens");
}

}  // namespace tovi_test

#endif
