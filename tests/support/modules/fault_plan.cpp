#include <cstdio>
#include <cstdlib>
// The shared fault plan.
#include "fault_plan.hpp"

namespace tovi_test {

const char* name_of(native_op op) {
    switch (op) {
        case native_op::connect:
            return "connect";
        case native_op::prepare:
            return "prepare";
        case native_op::bind:
            return "bind";
        case native_op::execute:
            return "execute";
        case native_op::fetch:
            return "fetch";
        case native_op::commit:
            return "commit";
        case native_op::rollback:
            return "rollback";
        case native_op::reset:
            return "reset";
        case native_op::close:
            return "close";
    }
    return "?";
}

void fault_plan::arm(long n, unsigned which) {
    fail_at = n;
    kinds = which;
    seen = 0;
    injected = 0;
}

void fault_plan::disarm() {
    fail_at = 0;
}

bool fault_plan::should_fail(native_op op) {
    if (fail_at == 0 || (kinds & op_bit(op)) == 0) return false;
    ++seen;
    // TOVI_FAULT_TRACE=1 lists the operations as they are counted (to find
    // which one a failing N is).
    if (std::getenv("TOVI_FAULT_TRACE") != nullptr)
        std::fprintf(stderr, "op %ld %s\n", seen, name_of(op));
    if (seen != fail_at) return false;
    ++injected;
    return true;
}

fault_plan& faults() {
    static fault_plan plan;
    return plan;
}

}  // namespace tovi_test
