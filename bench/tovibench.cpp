// tovibench: runs a fixed suite of SQL workloads (inserts, selects, joins, index
// creation, updates, deletes) against the databases named on the command line or
// in tovibench_conf.xml, and prints how long each took.
//
//   tovibench --conn_str /SQLITE --db_name bench.db
//
// With TOVI_BENCH_CHECKSUMS=1 in the environment it also writes, to standard
// error and outside the timings, a checksum of the values each test fetched.
// With TOVI_BENCH_SCALE=N (1 to 10) every row count is divided by N: a quick run
// for tests, whose report names the smaller counts.
#include <tovi/tovi.hpp>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/program_options.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "db_config.hpp"

namespace po = boost::program_options;

namespace tovibench {

// Prints the elapsed wall-clock seconds when it goes out of scope.
class timer {
public:
    timer() : start_(std::chrono::steady_clock::now()) {}
    ~timer() {
        try {
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
            const std::streamsize previous = std::cout.precision(5);
            std::cout << elapsed.count() << " sec." << std::endl;
            std::cout.precision(previous);
        } catch (...) {
        }
    }
    timer(const timer&) = delete;
    timer& operator=(const timer&) = delete;

private:
    std::chrono::steady_clock::time_point start_;
};

// Checksums of fetched values, reported on request so that two implementations
// of the suite can be shown to fetch the same rows.
class checksum {
public:
    explicit checksum(const char* test) : test_(test) {}
    ~checksum() {
        if (enabled()) std::cerr << "checksum " << test_ << " " << rows_ << " " << sum_ << "\n";
    }
    void add(long v) {
        ++rows_;
        // A sum of mixed values: the same rows in any order (an engine returns a
        // join's rows in its own order) give the same checksum.
        unsigned long x = static_cast<unsigned long>(v) + 0x9E3779B97F4A7C15UL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9UL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBUL;
        sum_ += x ^ (x >> 31);
    }
    void add(double v) { add(static_cast<long>(v * 1000.0)); }
    static bool enabled() {
        static const bool on = std::getenv("TOVI_BENCH_CHECKSUMS") != nullptr;
        return on;
    }

private:
    const char* test_;
    unsigned long rows_ = 0;
    unsigned long sum_ = 0;
};

class fixture : public tovi::udata_source {
public:
    fixture(tovi::url_t& url, long small, long large)
        : tovi::udata_source(url), small_count(small), large_count(large) {}

    void set_up();
    void run_all();

    long small_count;
    long large_count;

private:
    void insert_01();
    void insert_02();
    void insert_03();
    void select_range(const char* id, const std::string& title, long rounds, long step);
    void select_03();
    void inner_join(const char* id, const char* title);
    void run_once(const char* title, const std::string& sql, bool in_transaction);
    void update_01();
    void update_02();
    void update_03();
    void select_05();
    void delete_03();

    void insert_rows(const char* table, long count, bool in_transaction);
};

void fixture::set_up() {
    for (const char* table : {"t1", "t2", "t3"}) {
        try {
            tovi::statement st(*this, 1);
            st.execute(std::string("DROP TABLE ") + table);
        } catch (const tovi::exception&) {
            // the table was not there
        }
    }
    tovi::statement st(*this, 1);
    st.execute("CREATE TABLE t1(a INTEGER, b INTEGER, c VARCHAR(100))");
    st.execute("CREATE TABLE t2(a INTEGER, b INTEGER, c VARCHAR(100))");
    st.execute("CREATE TABLE t3(a INTEGER, b INTEGER, c VARCHAR(100))");
    st.execute("CREATE INDEX i3 ON t3(c)");
}

namespace {
void title(const std::string& text, const std::string& sql) {
    std::cout << std::endl << text << std::endl << sql << std::endl;
}
}  // namespace

void fixture::insert_rows(const char* table, long count, bool in_transaction) {
    tovi::statement st(*this, 1);
    st.parse(std::string("INSERT INTO ") + table + " VALUES(:?, :?, :?)");
    long a = 0, b = 0;
    std::string c = "oops oops oops";
    st << a << b << c;
    timer t;
    if (in_transaction) {
        for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false)
            for (long i = 0; i < count; ++i) {
                a = b = i;
                st.execute();
            }
    } else {
        for (long i = 0; i < count; ++i) {
            a = b = i;
            st.execute();
        }
    }
}

void fixture::insert_01() {
    title("Test INSERT 01. Insert " + std::to_string(small_count) + " records. Autocommit.",
          "INSERT INTO t1 VALUES(:?, :?, :?)");
    insert_rows("t1", small_count, false);
}

void fixture::insert_02() {
    title("Test INSERT 02. Insert " + std::to_string(large_count) +
              " records. Inside of a transaction.",
          "INSERT INTO t2 VALUES(:?, :?, :?)");
    insert_rows("t2", large_count, true);
}

void fixture::insert_03() {
    title("Test INSERT 03. Insert " + std::to_string(large_count) +
              " records into an indexed table. Inside of a transaction.",
          "INSERT INTO t3 VALUES(:?, :?, :?)");
    insert_rows("t3", large_count, true);
}

void fixture::select_range(const char* id, const std::string& name, long rounds, long step) {
    const char* sql = "SELECT count(*), avg(b) FROM t2 WHERE b >= :? AND b < :?";
    title(name, sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    long count = 0, lo = 0, hi = 0;
    double average = 0;
    st >> count >> average;
    st << lo << hi;
    checksum sum(id);
    {
        timer t;
        for (long k = 0; k < rounds; ++k) {
            lo = step * k;
            hi = lo + 1000;
            st.execute();
            while (st.next())
                if (checksum::enabled()) sum.add(count), sum.add(average);
        }
    }
}

void fixture::select_03() {
    const char* sql = "SELECT count(*), avg(b) FROM t2 WHERE c LIKE :?";
    const std::string name = "Test SELECT 03. Select " + std::to_string(large_count / 1000) +
                             " times without an index on a string comparison. Fetch result.";
    title(name, sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    long count = 0;
    double average = 0;
    std::string pattern = "%oops%";
    st >> count >> average;
    st << pattern;
    checksum sum("SELECT 03");
    {
        timer t;
        for (long k = 0; k < large_count / 1000; ++k) {
            st.execute();
            while (st.next())
                if (checksum::enabled()) sum.add(count), sum.add(average);
        }
    }
}

void fixture::inner_join(const char* id, const char* name) {
    const char* sql = "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b";
    title(name, sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    long a = 0;
    st >> a;
    checksum sum(id);
    {
        timer t;
        st.execute();
        while (st.next())
            if (checksum::enabled()) sum.add(a);
    }
}

void fixture::run_once(const char* name, const std::string& sql, bool in_transaction) {
    title(name, sql);
    tovi::statement st(*this, 1);
    timer t;
    if (in_transaction) {
        for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false) st.execute(sql);
    } else {
        st.execute(sql);
    }
}

void fixture::update_01() {
    const char* sql = "UPDATE t1 SET b = b*2 WHERE a >= :? AND a < :?";
    title("Test UPDATE 01. Update " + std::to_string(small_count / 10) +
              " times without an index. Inside of a transaction.",
          sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    long lo = 0, hi = 0;
    st << lo << hi;
    timer t;
    for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false)
        for (long k = 0; k < small_count / 10; ++k) {
            lo = 10 * k;
            hi = 10 * k + 10;
            st.execute();
        }
}

void fixture::update_02() {
    const char* sql = "UPDATE t2 SET b = :? WHERE a = :?";
    title("Test UPDATE 02. Update " + std::to_string(small_count) +
              " times with an index. Inside of a transaction.",
          sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    long b = 0, a = 0;
    st << b << a;
    timer t;
    for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false)
        for (long i = 0; i < small_count; ++i) {
            b = i + 10;
            a = i;
            st.execute();
        }
}

void fixture::update_03() {
    const char* sql = "UPDATE t2 SET c = :? WHERE a = :?";
    title("Test UPDATE 03. Update " + std::to_string(small_count) +
              " times a text value with an index. Inside of a transaction.",
          sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    std::string c = "New value !!! Have fun !!!";
    long a = 0;
    st << c << a;
    timer t;
    for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false)
        for (long i = 0; i < small_count; ++i) {
            a = i;
            st.execute();
        }
}

void fixture::select_05() {
    const char* sql =
        "SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= :? AND t2.b < :?)";
    const std::string name = "Test SELECT 05. Select " + std::to_string(large_count / 1000) +
                             " times with subqueries. Subquery is using an index. Fetch result.";
    title(name, sql);
    tovi::statement st(*this, 1);
    st.parse(sql);
    long a = 0, lo = 0, hi = 0;
    st >> a;
    st << lo << hi;
    checksum sum("SELECT 05");
    {
        timer t;
        for (long k = 0; k < large_count / 1000; ++k) {
            lo = 100 * k;
            hi = lo + 1000;
            st.execute();
            while (st.next())
                if (checksum::enabled()) sum.add(a);
        }
    }
}

void fixture::delete_03() {
    std::cout << std::endl
              << "Test DELETE 03. A big DELETE followed by many small INSERTs." << std::endl
              << "Run " << small_count << " times. Inside of a transaction." << std::endl
              << "DELETE FROM t1" << std::endl
              << "INSERT INTO t1 VALUES(:?, :?, :?)" << std::endl;
    tovi::statement st(*this, 1);
    timer t;
    for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false) {
        st.execute("DELETE FROM t1");
        st.parse("INSERT INTO t1 VALUES(:?, :?, :?)");
        long a = 0, b = 0;
        std::string c = "oops oops oops";
        st << a << b << c;
        for (long i = 0; i < small_count; ++i) {
            a = b = i;
            st.execute();
        }
    }
}

void fixture::run_all() {
    insert_01();
    insert_02();
    insert_03();
    const std::string select_02 = "Test SELECT 02. Select " + std::to_string(large_count / 1000) +
                                  " times without an index. Fetch result.";
    select_range("SELECT 02", select_02, large_count / 1000, 100);
    select_03();
    inner_join("INNER JOIN 01", "Test INNER JOIN 01. Without an index. Fetch result.");
    run_once("Test CREATE INDEX 01. Run 1 time on an ordered field.", "CREATE INDEX i2a ON t2(a)",
             false);
    run_once("Test CREATE INDEX 02. Run 1 time on a nonordered field.", "CREATE INDEX i2b ON t2(b)",
             false);
    const std::string select_04 = "Test SELECT 04. Select " + std::to_string(large_count / 100) +
                                  " times with an index. Fetch result.";
    select_range("SELECT 04", select_04, large_count / 100, 100);
    update_01();
    update_02();
    update_03();
    run_once("Test INSERT from a SELECT 01. Inside of a transaction.",
             "INSERT INTO t1 SELECT * FROM t2", true);
    run_once("Test INSERT from a SELECT 02. Inside of a transaction.",
             "INSERT INTO t2 SELECT * FROM t1", true);
    inner_join("INNER JOIN 02", "Test INNER JOIN 02. With index on one side. Fetch result.");
    select_05();
    run_once("Test DELETE 01. Run 1 time without an index.",
             "DELETE FROM t2 WHERE c LIKE '%fifty%'", false);
    run_once("Test DELETE 02. Run 1 time with an index.",
             "DELETE FROM t2 WHERE a > 10 AND a < " + std::to_string(large_count - 5000), false);
    delete_03();
}

// The divisor of every row count: 1 unless TOVI_BENCH_SCALE says otherwise.
long scale() {
    const char* text = std::getenv("TOVI_BENCH_SCALE");
    if (text == nullptr) return 1;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < 1 || n > 10)
        throw std::runtime_error("TOVI_BENCH_SCALE must be a whole number from 1 to 10, not '" +
                                 std::string(text) + "'.");
    return n;
}

void run_suite(const db_params& p) {
    std::unique_ptr<fixture> f;
    {
        tovi::uurl_t url(p.conn_str_, p.user_name_, p.user_passwd_, p.db_name_);
        const long n = scale();
        f = std::make_unique<fixture>(url, 4000 / n, 100000 / n);
    }
    f->set_up();
    f->run_all();
}

// The URL of every driver, with an example each (after the options in --help).
const char* const url_forms =
    "Connection URLs (--conn_str), one per driver:\n"
    "  /SQLITE                          SQLite; --db_name is the file (or :memory:)\n"
    "      tovibench --conn_str /SQLITE --db_name /tmp/bench.db\n"
    "  /ODBC/<ODBC driver>[/<host>]     any ODBC driver registered with unixODBC\n"
    "      tovibench --conn_str /ODBC/SQLite3 --db_name /tmp/bench.db\n"
    "      tovibench --conn_str \"/ODBC/PostgreSQL Unicode/127.0.0.1/5432\" --db_name bench \\\n"
    "                --user_name me --user_passwd secret\n"
    "  /InterBase_EMB                   embedded Firebird; --db_name is the file\n"
    "      tovibench --conn_str /InterBase_EMB --user_name SYSDBA --db_name /tmp/bench.fdb\n"
    "  /ADO/<provider>                  ADO; Microsoft.Jet.OLEDB.4.0 with the file as --db_name\n"
    "      tovibench --conn_str /ADO/Microsoft.Jet.OLEDB.4.0 --db_name /tmp/bench.mdb\n"
    "A missing SQLite, Firebird or Jet file is created.\n";

// For a driver module that could not be loaded: the modules that are there.
void explain_missing_module(const std::string& error) {
    const std::string lead = "Cannot load a shared library '";
    if (error.compare(0, lead.size(), lead) != 0) return;
    const std::string path = error.substr(lead.size(), error.find('\'', lead.size()) - lead.size());
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    std::string found;
    if (DIR* d = opendir(dir.c_str())) {
        std::vector<std::string> names;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.compare(0, 5, "tovi_") == 0 && name.size() > 3 &&
                name.compare(name.size() - 3, 3, ".so") == 0)
                names.push_back(name);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) found += (found.empty() ? "" : ", ") + name;
    }
    std::cerr << "Driver modules installed in " << dir << ": " << (found.empty() ? "none" : found)
              << std::endl;
}

// True when the command line held at least one option (then `params` is set).
bool parse_command_line(int argc, char** argv, db_params& params) {
    po::options_description options("Allowed options", 80);
    options.add_options()("conn_str", po::value<std::string>(), "driver url string")(
        "db_name", po::value<std::string>(), "database name")(
        "user_name", po::value<std::string>(), "user name")("user_passwd", po::value<std::string>(),
                                                            "user password");
    po::options_description all("Allowed options", 80);
    all.add(options).add_options()("help", "show the allowed options");
    po::variables_map vm;
    try {
        po::store(po::parse_command_line(argc, argv, all), vm);
    } catch (const po::error& e) {
        // The error's own line first, as for every error, then what is allowed.
        std::ostringstream text;
        text << e.what() << "\n" << options << "\n" << url_forms;
        throw std::runtime_error(text.str());
    }
    po::notify(vm);
    if (vm.count("help")) {
        std::cout << options << std::endl << url_forms << std::endl;
        std::exit(0);
    }
    if (vm.empty()) return false;
    if (vm.count("conn_str")) {
        std::string value = vm["conn_str"].as<std::string>();
        if (value.compare(0, 2, "//") == 0) value.erase(0, 1);
        params.conn_str_ += value;
    }
    if (vm.count("db_name"))
        params.db_name_ = vm["db_name"].as<std::string>();
    else
        std::cerr << "Database name was not set.\n";
    if (vm.count("user_name")) params.user_name_ = vm["user_name"].as<std::string>();
    if (vm.count("user_passwd")) params.user_passwd_ = vm["user_passwd"].as<std::string>();
    params.url_ = std::make_shared<tovi::uurl_parser_t>(params.conn_str_, params.user_name_,
                                                        params.user_passwd_, params.db_name_);
    return true;
}

}  // namespace tovibench

int main(int argc, char** argv) {
    std::cout << std::endl << "Tovi performance tests ..." << std::endl << std::endl;
    try {
        tovi::COM com;
        tovi::api library;
        tovibench::db_params params;
        if (tovibench::parse_command_line(argc, argv, params)) {
            tovibench::run_suite(params);
        } else {
            // No options: the configuration file. None that can be read (none, or
            // a directory, say): nothing runs, and the user learns where it looked.
            std::string path = "tovibench_conf.xml";
            if (char* cwd = getcwd(nullptr, 0)) {
                path = std::string(cwd) + "/" + path;
                std::free(cwd);
            }
            struct stat info {};
            std::ifstream file;
            if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) file.open(path);
            if (!file.is_open()) {
                std::cerr << "Nothing to run: no options were given and there is no "
                             "configuration file "
                          << path << ". Run 'tovibench --help' for the options.\n";
                return 2;
            }
            tovibench::db_config config;
            try {
                boost::archive::xml_iarchive archive(file);
                archive >> boost::serialization::make_nvp("db_config", config);
            } catch (const std::exception& e) {
                std::cerr << "The configuration file " << path
                          << " is not a tovibench configuration (a boost XML archive of "
                             "db_config; see bench/README.md): "
                          << (info.st_size == 0 ? "the file is empty" : e.what()) << "\n";
                return 2;
            }
            for (const tovibench::db_params& p : config.params) tovibench::run_suite(p);
        }
    } catch (const tovi::exception& e) {
        std::cerr << e.get_error_text() << std::endl;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        tovibench::explain_missing_module(e.what());
        return 1;
    } catch (...) {
        std::cerr << "Test suite failed for unknown reason ..." << std::endl;
        return 1;
    }
    if (tovibench::checksum::enabled()) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::cerr << "peak_kb " << usage.ru_maxrss << "\n";
    }
    return 0;
}
