// The shared test log.
#include "test_log.hpp"

#include <algorithm>

namespace tovi_test {

std::vector<std::string>& events() {
    static std::vector<std::string> log;
    return log;
}

driver_control& control() {
    static driver_control c;
    return c;
}

void record(const std::string& event) {
    events().push_back(event);
}

int count(const std::string& event) {
    return static_cast<int>(std::count(events().begin(), events().end(), event));
}

void reset_log() {
    events().clear();
    control() = driver_control();
}

}  // namespace tovi_test
