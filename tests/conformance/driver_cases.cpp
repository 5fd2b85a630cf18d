// The registry of driver cases: each driver's case file registers itself.
#include <algorithm>
#include <vector>

#include "conformance.hpp"

namespace tovi_conformance {

namespace {
std::vector<driver_case (*)()>& makers() {
    static std::vector<driver_case (*)()> all;
    return all;
}
}  // namespace

case_registration::case_registration(driver_case (*make)()) {
    makers().push_back(make);
}

std::vector<driver_case> all_cases() {
    std::vector<driver_case> cases;
    for (auto make : makers()) cases.push_back(make());
    std::sort(cases.begin(), cases.end(),
              [](const driver_case& a, const driver_case& b) { return a.name < b.name; });
    return cases;
}

}  // namespace tovi_conformance
