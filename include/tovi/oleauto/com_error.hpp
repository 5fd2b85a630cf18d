/// @file
/// _com_error: the error the OLE Automation wrappers (_variant_t, _bstr_t) throw
/// when a service call fails. Carries the failing HRESULT.
#ifndef TOVI_OLEAUTO_COM_ERROR_HPP
#define TOVI_OLEAUTO_COM_ERROR_HPP

#include <exception>
#include <string>

#include <tovi/config.hpp>
#include <tovi/oleauto/types.hpp>

/// The exception the OLE Automation wrappers throw; carries the failing HRESULT.
class TOVI_API _com_error : public std::exception {
public:
    /// An error for the result code `hr`, with its message.
    explicit _com_error(HRESULT hr);
    /// The failing result code.
    HRESULT Error() const noexcept { return hr_; }
    /// "Type mismatch.", "Out of present range." and the like, with the code.
    const char* ErrorMessage() const noexcept { return message_.c_str(); }
    /// ErrorMessage().
    const char* what() const noexcept override { return message_.c_str(); }

private:
    HRESULT hr_;
    std::string message_;
};

#endif
