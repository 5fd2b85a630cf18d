// The benchmark's configuration: the databases to run the suite on, from the
// command line or from "tovibench_conf.xml" (a boost serialization XML archive).
#ifndef TOVI_BENCH_DB_CONFIG_HPP
#define TOVI_BENCH_DB_CONFIG_HPP

#include <deque>
#include <memory>
#include <string>

#include <boost/serialization/deque.hpp>
#include <boost/serialization/nvp.hpp>

#include <tovi/url.hpp>

namespace tovibench {

// One database to test.
struct db_params {
    std::string conn_str_;
    std::string db_name_;
    std::string user_name_;
    std::string user_passwd_;
    // Filled only for parameters from the command line: validates the URL early.
    std::shared_ptr<tovi::uurl_parser_t> url_;

    template <class Archive>
    void serialize(Archive& ar, const unsigned int /*version*/) {
        ar& BOOST_SERIALIZATION_NVP(conn_str_);
        ar& BOOST_SERIALIZATION_NVP(db_name_);
        ar& BOOST_SERIALIZATION_NVP(user_name_);
        ar& BOOST_SERIALIZATION_NVP(user_passwd_);
    }
};

// The configuration file's root: the databases, run in order.
struct db_config {
    std::deque<db_params> params;

    template <class Archive>
    void serialize(Archive& ar, const unsigned int /*version*/) {
        ar& BOOST_SERIALIZATION_NVP(params);
    }
};

}  // namespace tovibench

#endif
