// Who depends on whom among the application's objects: the transactions made on
// a data source, and the statements and scripts working in a transaction. An
// application may destroy them in any order; whichever goes first ends what
// depends on it (a transaction is rolled back, a statement hands its driver
// statement back), and the dependant is left inert: it raises bad_operation
// when used and is harmless to destroy.
#ifndef TOVI_CORE_BASE_LIFETIMES_HPP
#define TOVI_CORE_BASE_LIFETIMES_HPP

#include <tovi/exception.hpp>

namespace tovi::detail {

// Runs `f`; a failure is reported, not thrown (destructors and ending work).
template <class F>
void reporting_failure(F f) noexcept {
    try {
        f();
    } catch (const exception& e) {
        utils::reportError(0, e.get_error_text().c_str());
    } catch (...) {
    }
}

struct dependant {
    void* object;
    // Ends `object`'s work with what it depends on; reports its failures, never throws.
    void (*end)(void* object);
};

// One registry for the process, locked: data sources on different threads may
// come and go at once.
class lifetimes {
public:
    // `d` depends on `owner` (a data source or a transaction).
    static void add(const void* owner, dependant d);
    // `object` no longer depends on `owner`; nothing if it was not listed.
    static void remove(const void* owner, const void* object);
    // Ends and forgets every dependant of `owner`, newest first.
    static void end_all(const void* owner);
};

}  // namespace tovi::detail

#endif
