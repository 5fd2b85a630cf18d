// A log shared by the test executables and the test modules they load: the test
// driver records the calls it receives here, and reads its failure switches here.
#ifndef TOVI_TESTS_SUPPORT_MODULES_TEST_LOG_HPP
#define TOVI_TESTS_SUPPORT_MODULES_TEST_LOG_HPP

#include <string>
#include <vector>

#define TOVI_TEST_LOG_API __attribute__((visibility("default")))

namespace tovi_test {

// Switches that make the test driver fail where the tests want it to.
struct driver_control {
    bool open_fails = false;
    bool close_fails = false;
    bool factory_returns_null = false;
    bool factory_throws = false;
    bool execute_fails = false;
};

TOVI_TEST_LOG_API std::vector<std::string>& events();
TOVI_TEST_LOG_API driver_control& control();
TOVI_TEST_LOG_API void record(const std::string& event);
// Number of recorded events equal to `event`.
TOVI_TEST_LOG_API int count(const std::string& event);
// Clears the log and the switches.
TOVI_TEST_LOG_API void reset_log();

}  // namespace tovi_test

#endif
