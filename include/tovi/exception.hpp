// The exception tree: every failure in tovi is one of these classes.
//
// A tovi::exception carries a stack of up to eleven visible entries (message and
// native error code, 0 when tovi itself raises). Copying or assigning an exception
// TRANSFERS its stack: the source is left empty. That keeps the entries with the
// object that is finally caught, whatever copies throwing made on the way.
// The wrapping constructor `X(previous, message, code)` lets a layer add its own
// entry after the lower layer's, so the lowest layer's message stays first.
#ifndef TOVI_EXCEPTION_HPP
#define TOVI_EXCEPTION_HPP

#include <exception>
#include <string>

#include <tovi/config.hpp>

namespace utils {
// Diagnostic hooks: every message an exception records goes to reportError, and
// debug lines to reportDebug. Both do nothing unless a handler is installed.
TOVI_API void reportError(int code, const char* text);
TOVI_API void reportDebug(const char* text);

using error_report_handler = void (*)(int code, const char* text);
using debug_report_handler = void (*)(const char* text);
// Installs handlers (null restores the silent default); returns the previous one.
// Not thread-safe: set them at start-up.
TOVI_API error_report_handler set_error_report_handler(error_report_handler handler);
TOVI_API debug_report_handler set_debug_report_handler(debug_report_handler handler);
}  // namespace utils

namespace tovi {

// One entry of an exception's stack.
struct TOVI_API error_info {
    std::string message;
    int code = 0;
};

class TOVI_API exception : public std::exception {
public:
    exception(const std::string& message, int code);
    // Takes over `other`'s stack; `other` is left empty.
    exception(const exception& other);
    // Takes over `previous`'s stack, then adds (message, code).
    exception(const exception& previous, const std::string& message, int code);
    exception& operator=(const exception& other);
    ~exception() override;

    // Adds an entry; the count never rises above 11 (a twelfth message and any
    // later one go to the last, invisible slot). Reports it to utils::reportError.
    void set_data(const std::string& message, int code);

    // The first entry's message (the lowest layer's), for std::exception handlers.
    const char* what() const noexcept override;

    // Every visible message in order, each followed by "\n"; "" once transferred.
    std::string get_error_text() const;

    int get_count() const { return count; }
    // Entry i, 0 <= i < get_count().
    const error_info& get_entry(int i) const { return errors[i]; }

    static constexpr int capacity = 12;
    static constexpr int max_visible = 11;

private:
    void take_over(const exception& other);

    mutable error_info* errors;  // owned array of `capacity` entries, null once transferred
    mutable int count;
};

// Every class below declares its destructor here and defines it in libtovi.so:
// that out-of-line virtual is the class's key function, so its virtual table and
// type information exist once, in the core. Inline-only classes would get weak
// copies in whichever module throws them, and an exception caught after that
// module was unloaded would point into unmapped code.

// The three constructor families. Every class of a family offers the same three
// constructors; a subclass differs only in its type and its default message.
// (Macros, because fifteen hand-written copies would drift apart.)

// Family A: message and code given by the caller; (previous) only transfers.
#define TOVI_EXCEPTION_FAMILY_A(X, BASE)                                           \
    class TOVI_API X : public BASE {                                               \
    public:                                                                        \
        X(const std::string& message, int code) : BASE(message, code) {}           \
        explicit X(const ::tovi::exception& previous) : BASE(previous) {}          \
        X(const ::tovi::exception& previous, const std::string& message, int code) \
            : BASE(previous, message, code) {}                                     \
        ~X() override;                                                             \
    }

// Family B: a fixed default message, code given (default 0); (previous) only
// transfers, BASE being the root or a family-A class.
#define TOVI_EXCEPTION_FAMILY_B(X, BASE, TEXT)                                                    \
    class TOVI_API X : public BASE {                                                              \
    public:                                                                                       \
        static constexpr const char* default_message = TEXT;                                      \
        explicit X(int code = 0) : BASE(default_message, code) {}                                 \
        explicit X(const ::tovi::exception& previous) : BASE(previous) {}                         \
        X(const ::tovi::exception& previous, int code) : BASE(previous, default_message, code) {} \
        ~X() override;                                                                            \
    }

// Family C: code first, message with a default. FIRST, SECOND order the base's
// arguments: the root family-C class sits on family A (message, code), the
// others on family C (code, message).
#define TOVI_EXCEPTION_FAMILY_C(X, BASE, TEXT, FIRST, SECOND)                  \
    class TOVI_API X : public BASE {                                           \
    public:                                                                    \
        static constexpr const char* default_message = TEXT;                   \
        explicit X(int code = 0, const std::string& message = default_message) \
            : BASE(FIRST, SECOND) {}                                           \
        explicit X(const ::tovi::exception& previous, int code = 0,            \
                   const std::string& message = default_message)               \
            : BASE(previous, FIRST, SECOND) {}                                 \
        ~X() override;                                                         \
    }

// Family B below a family-C base: (previous) goes through the base's defaulted
// wrapping constructor, so it adds the BASE's default message with code 0.
#define TOVI_EXCEPTION_FAMILY_B_ON_C(X, BASE, TEXT)                                               \
    class TOVI_API X : public BASE {                                                              \
    public:                                                                                       \
        static constexpr const char* default_message = TEXT;                                      \
        explicit X(int code = 0) : BASE(code, default_message) {}                                 \
        explicit X(const ::tovi::exception& previous) : BASE(previous) {}                         \
        X(const ::tovi::exception& previous, int code) : BASE(previous, code, default_message) {} \
        ~X() override;                                                                            \
    }

TOVI_EXCEPTION_FAMILY_A(bad_data, exception);
TOVI_EXCEPTION_FAMILY_A(bad_value, bad_data);
TOVI_EXCEPTION_FAMILY_A(bad_operation, exception);

// Family A, plus family B's (previous, code) with "Bad SQL.".
class TOVI_API bad_sql : public exception {
public:
    static constexpr const char* default_message = "Bad SQL.";
    bad_sql(const std::string& message, int code) : exception(message, code) {}
    explicit bad_sql(const exception& previous) : exception(previous) {}
    bad_sql(const exception& previous, const std::string& message, int code)
        : exception(previous, message, code) {}
    bad_sql(const exception& previous, int code) : exception(previous, default_message, code) {}
    ~bad_sql() override;
};

TOVI_EXCEPTION_FAMILY_B(unknown_error, exception, "Unknown error.");
TOVI_EXCEPTION_FAMILY_B(not_implemented, exception, "Not implemented feature.");
TOVI_EXCEPTION_FAMILY_B(permission_denied, bad_operation, "Permission denided");
TOVI_EXCEPTION_FAMILY_B(value_is_null, bad_value, "Value is NULL.");
TOVI_EXCEPTION_FAMILY_B(value_is_truncated, bad_value, "Value was truncated.");
// Not "Value was truncated.": a failed conversion is not a truncation.
TOVI_EXCEPTION_FAMILY_B(bad_value_conversion, bad_value, "Value cannot be converted.");

TOVI_EXCEPTION_FAMILY_C(bad_set_of_values, bad_data, "Invalid set of values.", message, code);
TOVI_EXCEPTION_FAMILY_C(data_already_exist, bad_set_of_values, "Data already exist.", code,
                        message);
TOVI_EXCEPTION_FAMILY_C(no_data_found, bad_set_of_values, "No data found.", code, message);

TOVI_EXCEPTION_FAMILY_B_ON_C(schema_obj_already_exists, data_already_exist,
                             "Schema object already exist.");
TOVI_EXCEPTION_FAMILY_B_ON_C(dup_value_on_index, data_already_exist, "Duplicate value on index.");
TOVI_EXCEPTION_FAMILY_B_ON_C(no_schema_obj_found, no_data_found, "No schema object is found.");
TOVI_EXCEPTION_FAMILY_B_ON_C(integrity_violation, no_data_found, "Integrity violation.");

namespace win_hook {
// Raised by the process-exit hook.
TOVI_EXCEPTION_FAMILY_A(exception, ::tovi::exception);
}  // namespace win_hook

#undef TOVI_EXCEPTION_FAMILY_A
#undef TOVI_EXCEPTION_FAMILY_B
#undef TOVI_EXCEPTION_FAMILY_C
#undef TOVI_EXCEPTION_FAMILY_B_ON_C

// A plain text error of URL parsing and module selection and loading.
// Not a tovi::exception: only a std::exception handler catches it.
class TOVI_API ds_exception : public std::exception {
public:
    explicit ds_exception(const std::string& message) : message_(message) {}
    ~ds_exception() override;
    const char* what() const noexcept override;

private:
    std::string message_;
};

}  // namespace tovi

#endif
