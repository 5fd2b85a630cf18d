// The skeleton driver in the conformance suite, with what it does not do.
#include "conformance.hpp"

TOVI_CONFORMANCE_CASE(skeleton) {
    tovi_conformance::driver_case c;
    c.name = "skeleton";
    c.url = "/SQLITE_EMB";
    c.database = [](const std::string& dir) { return dir + "/conformance.db"; };
    c.lacks("variant_doubles", "binds only VT_I4, VT_I8, VT_BSTR and empty variants");
    return c;
}
