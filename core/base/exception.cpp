// tovi::exception: the bounded, transferable error stack behind every tovi failure.
#include <tovi/exception.hpp>

#include <utility>

#include <tovi/driver/native_exception.hpp>

namespace tovi {

exception::exception(const std::string& message, int code)
    : errors(new error_info[capacity]), count(0) {
    try {
        set_data(message, code);
    } catch (...) {
        delete[] errors;  // the destructor does not run for a throwing constructor
        throw;
    }
}

exception::exception(const exception& other) : std::exception(other), errors(nullptr), count(0) {
    take_over(other);
}

exception::exception(const exception& previous, const std::string& message, int code)
    : std::exception(previous), errors(nullptr), count(0) {
    take_over(previous);
    try {
        set_data(message, code);
    } catch (...) {
        delete[] errors;
        throw;
    }
}

exception& exception::operator=(const exception& other) {
    if (this != &other) {
        delete[] errors;
        errors = nullptr;
        count = 0;
        take_over(other);
    }
    return *this;
}

exception::~exception() {
    delete[] errors;
}

void exception::take_over(const exception& other) {
    errors = other.errors;
    count = other.count;
    other.errors = nullptr;
    other.count = 0;
}

void exception::set_data(const std::string& message, int code) {
    // An object whose stack was taken over has no array; give it a fresh one
    // rather than writing through null.
    if (errors == nullptr) {
        errors = new error_info[capacity];
        count = 0;
    }
    errors[count].message = message;
    errors[count].code = code;
    if (++count == capacity) count = max_visible;
    utils::reportError(code, message.c_str());
}

const char* exception::what() const noexcept {
    if (errors != nullptr && count > 0) return errors[0].message.c_str();
    return "tovi::exception";
}

std::string exception::get_error_text() const {
    std::string text;
    for (int i = 0; errors != nullptr && i < count; ++i) {
        text += errors[i].message;
        text += '\n';
    }
    return text;
}

// The key functions of the exception classes (see exception.hpp).
bad_data::~bad_data() = default;
bad_value::~bad_value() = default;
bad_operation::~bad_operation() = default;
timed_out::~timed_out() = default;
bad_sql::~bad_sql() = default;
unknown_error::~unknown_error() = default;
not_implemented::~not_implemented() = default;
permission_denied::~permission_denied() = default;
value_is_null::~value_is_null() = default;
value_is_truncated::~value_is_truncated() = default;
bad_value_conversion::~bad_value_conversion() = default;
bad_set_of_values::~bad_set_of_values() = default;
data_already_exist::~data_already_exist() = default;
no_data_found::~no_data_found() = default;
schema_obj_already_exists::~schema_obj_already_exists() = default;
dup_value_on_index::~dup_value_on_index() = default;
no_schema_obj_found::~no_schema_obj_found() = default;
integrity_violation::~integrity_violation() = default;
win_hook::exception::~exception() = default;

ds_exception::~ds_exception() = default;
const char* ds_exception::what() const noexcept {
    return message_.c_str();
}

}  // namespace tovi

namespace tovi::driver {

native_exception::native_exception(const std::string& message, int code, std::string sqlstate)
    : exception(message, code), sqlstate_(std::move(sqlstate)) {}

native_exception::native_exception(const std::string& message, int code, std::string sqlstate,
                                   native_message_fields fields)
    : exception(message, code), sqlstate_(std::move(sqlstate)), fields_(std::move(fields)) {}

native_exception::~native_exception() = default;

const std::string& sqlstate_of(const exception& e) {
    static const std::string none;
    const auto* native = dynamic_cast<const native_exception*>(&e);
    return native != nullptr ? native->sqlstate() : none;
}

}  // namespace tovi::driver
