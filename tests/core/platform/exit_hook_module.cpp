// A module that a test program loads after the exit hook is installed; it calls
// `exit` through its own GOT.
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) void tovi_test_call_exit(int code) {
    std::exit(code);
}
