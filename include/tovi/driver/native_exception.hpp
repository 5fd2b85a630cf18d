/// @file
/// A native failure as a driver hands it to its dialect: the message and native
/// code of every tovi::exception, plus the SQLSTATE where the client API has
/// one, so that a dialect classifies on codes, not on one driver's wording.
#ifndef TOVI_DRIVER_NATIVE_EXCEPTION_HPP
#define TOVI_DRIVER_NATIVE_EXCEPTION_HPP

#include <string>

#include <tovi/exception.hpp>

namespace tovi::driver {

/// The parts of a server's message, where its client API reports them apart
/// (PostgreSQL's libpq does): the primary text, the detail, the hint and the
/// 1-based character position in the statement (0: none).
struct native_message_fields {
    std::string primary;
    std::string detail;
    std::string hint;
    int position = 0;
};

/// What a driver raises for a failed native call. Dialects find it with
/// dynamic_cast (its type information lives in libtovi.so, so the cast works
/// across modules); the exception a dialect throws is built from it as from any
/// tovi::exception.
class TOVI_API native_exception : public exception {
public:
    /// `sqlstate`: the five-character SQLSTATE, empty when the API has none.
    native_exception(const std::string& message, int code, std::string sqlstate = std::string());
    /// With the server's message in its parts (`message` is the whole text).
    native_exception(const std::string& message, int code, std::string sqlstate,
                     native_message_fields fields);
    ~native_exception() override;
    /// The SQLSTATE of the failure, "" when the driver's API reports none.
    const std::string& sqlstate() const { return sqlstate_; }
    /// The message's parts; all empty when the API reports only one text.
    const native_message_fields& fields() const { return fields_; }

private:
    std::string sqlstate_;
    native_message_fields fields_;
};

/// The SQLSTATE `e` carries: its own when `e` is a native_exception, else "".
TOVI_API const std::string& sqlstate_of(const exception& e);

}  // namespace tovi::driver

#endif
