// The drivers the conformance suite runs against, with what each can do.
#include <vector>

#include "conformance.hpp"

namespace tovi_conformance {

std::vector<driver_case> all_cases() {
    std::vector<driver_case> cases;

    driver_case sqlite;
    sqlite.name = "sqlite";
    sqlite.url = "/SQLITE";
    sqlite.database = [](const std::string& dir) { return dir + "/conformance.db"; };
    cases.push_back(sqlite);

    return cases;
}

}  // namespace tovi_conformance
