// tovi::exception: the bounded, transferable error stack behind every tovi failure.
#include <tovi/exception.hpp>

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

exception::~exception() { delete[] errors; }

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

}  // namespace tovi
