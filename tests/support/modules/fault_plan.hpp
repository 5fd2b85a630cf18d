// A fault plan shared by a test and the fault-injecting skeleton driver it
// loads: the test arms it to fail the N-th native operation (of the kinds it
// names); the driver asks it before each native call.
#ifndef TOVI_TESTS_SUPPORT_MODULES_FAULT_PLAN_HPP
#define TOVI_TESTS_SUPPORT_MODULES_FAULT_PLAN_HPP

#define TOVI_FAULT_PLAN_API __attribute__((visibility("default")))

namespace tovi_test {

enum class native_op { connect, prepare, bind, execute, fetch, commit, rollback, close, reset };

TOVI_FAULT_PLAN_API const char* name_of(native_op op);

constexpr unsigned every_op = ~0u;
constexpr unsigned op_bit(native_op op) {
    return 1u << static_cast<unsigned>(op);
}

struct TOVI_FAULT_PLAN_API fault_plan {
    // Fail the `n`-th operation (counted from 1) among the kinds in `kinds`.
    void arm(long n, unsigned kinds = every_op);
    void disarm();
    // Counts `op`; true when it is the one to fail.
    bool should_fail(native_op op);

    long fail_at = 0;  // 0: nothing fails
    unsigned kinds = every_op;
    long seen = 0;      // operations counted since arm()
    long injected = 0;  // failures injected since arm()
};

TOVI_FAULT_PLAN_API fault_plan& faults();

}  // namespace tovi_test

#endif
