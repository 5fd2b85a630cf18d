/// @file
/// The exception tree: every failure in tovi is one of these classes.
///
/// A tovi::exception carries a stack of up to eleven visible entries (message and
/// native error code, 0 when tovi itself raises). Copying or assigning an exception
/// TRANSFERS its stack: the source is left empty. That keeps the entries with the
/// object that is finally caught, whatever copies throwing made on the way.
/// The wrapping constructor `X(previous, message, code)` lets a layer add its own
/// entry after the lower layer's, so the lowest layer's message stays first.
#ifndef TOVI_EXCEPTION_HPP
#define TOVI_EXCEPTION_HPP

#include <exception>
#include <string>

#include <tovi/config.hpp>

namespace utils {
/// Diagnostic hooks: every message an exception records goes to reportError, and
/// debug lines to reportDebug. Both do nothing unless a handler is installed.
TOVI_API void reportError(int code, const char* text);
/// See reportError().
TOVI_API void reportDebug(const char* text);

/// Receives every message an exception records, with its code.
using error_report_handler = void (*)(int code, const char* text);
/// Receives debug lines.
using debug_report_handler = void (*)(const char* text);
/// Installs handlers (null restores the silent default); returns the previous one.
/// Not thread-safe: set them at start-up.
///@{
TOVI_API error_report_handler set_error_report_handler(error_report_handler handler);
TOVI_API debug_report_handler set_debug_report_handler(debug_report_handler handler);
///@}
}  // namespace utils

namespace tovi {

/// One entry of an exception's stack.
struct TOVI_API error_info {
    std::string message;  ///< what went wrong, in the words of the layer that saw it
    int code = 0;         ///< the native error code, 0 when tovi itself raises
};

/// The root of tovi's exception tree: a stack of (message, code) entries, the
/// lowest layer's first. Catch it by reference and print get_error_text().
class TOVI_API exception : public std::exception {
public:
    /// A stack of one entry.
    exception(const std::string& message, int code);
    /// Takes over `other`'s stack; `other` is left empty.
    exception(const exception& other);
    /// Takes over `previous`'s stack, then adds (message, code).
    exception(const exception& previous, const std::string& message, int code);
    /// Takes over `other`'s stack (this one's entries are dropped); `other` is left empty.
    exception& operator=(const exception& other);
    ~exception() override;

    /// Adds an entry; the count never rises above 11 (a twelfth message and any
    /// later one go to the last, invisible slot). Reports it to utils::reportError.
    void set_data(const std::string& message, int code);

    /// The first entry's message (the lowest layer's), for std::exception handlers.
    const char* what() const noexcept override;

    /// Every visible message in order, each followed by "\n"; "" once transferred.
    std::string get_error_text() const;

    /// The number of visible entries, at most max_visible.
    int get_count() const { return count; }
    /// Entry i, 0 <= i < get_count().
    const error_info& get_entry(int i) const { return errors[i]; }

    static constexpr int capacity = 12;     ///< entries kept, the last one invisible
    static constexpr int max_visible = 11;  ///< entries get_error_text() shows

private:
    void take_over(const exception& other);

    mutable error_info* errors;  ///< owned array of `capacity` entries, null once transferred
    mutable int count;           ///< visible entries
};

// Every class below declares its destructor here and defines it in libtovi.so:
// that out-of-line virtual is the class's key function, so its virtual table and
// type information exist once, in the core. Inline-only classes would get weak
// copies in whichever module throws them, and an exception caught after that
// module was unloaded would point into unmapped code.

// The three constructor families. Every class of a family offers the same three
// constructors; a subclass differs only in its type and its default message.
// (Macros, because fifteen hand-written copies would drift apart.)

/// Family A: message and code given by the caller; (previous) only transfers.
#define TOVI_EXCEPTION_FAMILY_A(X, BASE)                                           \
    class TOVI_API X : public BASE {                                               \
    public:                                                                        \
        /** A stack of one entry. */                                               \
        X(const std::string& message, int code) : BASE(message, code) {}           \
        /** Takes over `previous`'s stack. */                                      \
        explicit X(const ::tovi::exception& previous) : BASE(previous) {}          \
        /** Takes over `previous`'s stack, then adds (message, code). */           \
        X(const ::tovi::exception& previous, const std::string& message, int code) \
            : BASE(previous, message, code) {}                                     \
        ~X() override;                                                             \
    }

/// Family B: a fixed default message, code given (default 0); (previous) only
/// transfers, BASE being the root or a family-A class.
#define TOVI_EXCEPTION_FAMILY_B(X, BASE, TEXT)                                                    \
    class TOVI_API X : public BASE {                                                              \
    public:                                                                                       \
        /** The message of a new stack. */                                                        \
        static constexpr const char* default_message = TEXT;                                      \
        /** A stack of one entry: (default_message, code). */                                     \
        explicit X(int code = 0) : BASE(default_message, code) {}                                 \
        /** Takes over `previous`'s stack. */                                                     \
        explicit X(const ::tovi::exception& previous) : BASE(previous) {}                         \
        /** Takes over `previous`'s stack, then adds (default_message, code). */                  \
        X(const ::tovi::exception& previous, int code) : BASE(previous, default_message, code) {} \
        ~X() override;                                                                            \
    }

/// Family C: code first, message with a default. FIRST, SECOND order the base's
/// arguments: the root family-C class sits on family A (message, code), the
/// others on family C (code, message).
#define TOVI_EXCEPTION_FAMILY_C(X, BASE, TEXT, FIRST, SECOND)                  \
    class TOVI_API X : public BASE {                                           \
    public:                                                                    \
        /** The message when none is given. */                                 \
        static constexpr const char* default_message = TEXT;                   \
        /** A stack of one entry: (message, code). */                          \
        explicit X(int code = 0, const std::string& message = default_message) \
            : BASE(FIRST, SECOND) {}                                           \
        /** Takes over `previous`'s stack, then adds (message, code). */       \
        explicit X(const ::tovi::exception& previous, int code = 0,            \
                   const std::string& message = default_message)               \
            : BASE(previous, FIRST, SECOND) {}                                 \
        ~X() override;                                                         \
    }

/// Family B below a family-C base: (previous) goes through the base's defaulted
/// wrapping constructor, so it adds the BASE's default message with code 0.
#define TOVI_EXCEPTION_FAMILY_B_ON_C(X, BASE, TEXT)                                               \
    class TOVI_API X : public BASE {                                                              \
    public:                                                                                       \
        /** The message of a new stack. */                                                        \
        static constexpr const char* default_message = TEXT;                                      \
        /** A stack of one entry: (default_message, code). */                                     \
        explicit X(int code = 0) : BASE(code, default_message) {}                                 \
        /** Takes over `previous`'s stack, then adds the base's default message. */               \
        explicit X(const ::tovi::exception& previous) : BASE(previous) {}                         \
        /** Takes over `previous`'s stack, then adds (default_message, code). */                  \
        X(const ::tovi::exception& previous, int code) : BASE(previous, code, default_message) {} \
        ~X() override;                                                                            \
    }

/// Data the engine refused: the root of value and set-of-values failures.
TOVI_EXCEPTION_FAMILY_A(bad_data, exception);
/// A single value that cannot be stored, read or converted.
TOVI_EXCEPTION_FAMILY_A(bad_value, bad_data);
/// An operation not allowed in the current state (not parsed, no transaction, a
/// closed object, an unsupported binding).
TOVI_EXCEPTION_FAMILY_A(bad_operation, exception);
/// A connection or statement that ran past its time limit (a server that does not
/// answer); the message names the server and the time waited. The connection it
/// happened on is not used again.
TOVI_EXCEPTION_FAMILY_A(timed_out, exception);

/// SQL text the engine cannot parse or run (a syntax error, a wrong column).
class TOVI_API bad_sql : public exception {
public:
    static constexpr const char* default_message = "Bad SQL.";  ///< see bad_sql(previous, code)
    /// A stack of one entry.
    bad_sql(const std::string& message, int code) : exception(message, code) {}
    /// Takes over `previous`'s stack.
    explicit bad_sql(const exception& previous) : exception(previous) {}
    /// Takes over `previous`'s stack, then adds (message, code).
    bad_sql(const exception& previous, const std::string& message, int code)
        : exception(previous, message, code) {}
    /// Takes over `previous`'s stack, then adds (default_message, code).
    bad_sql(const exception& previous, int code) : exception(previous, default_message, code) {}
    ~bad_sql() override;
};

/// A failure nothing else describes.
TOVI_EXCEPTION_FAMILY_B(unknown_error, exception, "Unknown error.");
/// What this driver or object does not do.
TOVI_EXCEPTION_FAMILY_B(not_implemented, exception, "Not implemented feature.");
/// The engine refused access (authorization, a read-only database).
TOVI_EXCEPTION_FAMILY_B(permission_denied, bad_operation, "Permission denided");
/// A NULL read into a plain variable, which has no NULL flag to set.
TOVI_EXCEPTION_FAMILY_B(value_is_null, bad_value, "Value is NULL.");
/// A value that does not fit where it goes.
TOVI_EXCEPTION_FAMILY_B(value_is_truncated, bad_value, "Value was truncated.");
/// A value of one type that cannot be read as the bound one (not a truncation).
TOVI_EXCEPTION_FAMILY_B(bad_value_conversion, bad_value, "Value cannot be converted.");

/// Rows that break a rule of the schema: the root of constraint failures.
TOVI_EXCEPTION_FAMILY_C(bad_set_of_values, bad_data, "Invalid set of values.", message, code);
/// Something that should be new exists already.
TOVI_EXCEPTION_FAMILY_C(data_already_exist, bad_set_of_values, "Data already exist.", code,
                        message);
/// Something that should exist does not.
TOVI_EXCEPTION_FAMILY_C(no_data_found, bad_set_of_values, "No data found.", code, message);

/// A table, index or other schema object of that name exists.
TOVI_EXCEPTION_FAMILY_B_ON_C(schema_obj_already_exists, data_already_exist,
                             "Schema object already exist.");
/// A primary-key or unique-index violation.
TOVI_EXCEPTION_FAMILY_B_ON_C(dup_value_on_index, data_already_exist, "Duplicate value on index.");
/// A table, column or other schema object that does not exist.
TOVI_EXCEPTION_FAMILY_B_ON_C(no_schema_obj_found, no_data_found, "No schema object is found.");
/// A foreign-key violation: a referenced row is missing or still referenced.
TOVI_EXCEPTION_FAMILY_B_ON_C(integrity_violation, no_data_found, "Integrity violation.");

namespace win_hook {
/// Raised by the process-exit hook.
class TOVI_API exception : public ::tovi::exception {
public:
    /// A stack of one entry.
    exception(const std::string& message, int code) : ::tovi::exception(message, code) {}
    /// Takes over `previous`'s stack.
    explicit exception(const ::tovi::exception& previous) : ::tovi::exception(previous) {}
    /// Takes over `previous`'s stack, then adds (message, code).
    exception(const ::tovi::exception& previous, const std::string& message, int code)
        : ::tovi::exception(previous, message, code) {}
    ~exception() override;
};
}  // namespace win_hook

#undef TOVI_EXCEPTION_FAMILY_A
#undef TOVI_EXCEPTION_FAMILY_B
#undef TOVI_EXCEPTION_FAMILY_C
#undef TOVI_EXCEPTION_FAMILY_B_ON_C

/// A plain text error of URL parsing and module selection and loading.
/// Not a tovi::exception: only a std::exception handler catches it.
class TOVI_API ds_exception : public std::exception {
public:
    /// An error with the text `message`.
    explicit ds_exception(const std::string& message) : message_(message) {}
    ~ds_exception() override;
    /// The text.
    const char* what() const noexcept override;

private:
    std::string message_;
};

}  // namespace tovi

#endif
