// Moving text and bytes between std::string, COM strings and byte SAFEARRAYs.
#include <tovi/conversions.hpp>
#include <tovi/exception.hpp>
#include <tovi/oleauto/com_error.hpp>
#include <tovi/oleauto/safearray.hpp>
#include <tovi/oleauto/text_codec.hpp>

#include <cstring>

namespace tovi {

namespace {

// Texts from this length on travel as UTF-16 in a byte array, not as a BSTR.
constexpr unsigned int long_text_threshold = 512000;

[[noreturn]] void array_failed() {
    throw exception("Operation on SafeArray has failed.", 0);
}

// Holds an array's data for reading or writing; unlocks it on the way out.
class array_access {
public:
    explicit array_access(SAFEARRAY* a) : array_(a) {
        if (a == nullptr || FAILED(SafeArrayAccessData(a, &data_))) array_failed();
    }
    ~array_access() {
        if (array_ != nullptr) SafeArrayUnaccessData(array_);
    }
    void release() {
        SAFEARRAY* a = array_;
        array_ = nullptr;
        if (FAILED(SafeArrayUnaccessData(a))) array_failed();
    }
    unsigned char* bytes() const { return static_cast<unsigned char*>(data_); }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

// Size in bytes of a one-dimensional array.
std::size_t array_bytes(SAFEARRAY* a) {
    LONG lower = 0, upper = 0;
    if (a == nullptr || FAILED(SafeArrayGetLBound(a, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(a, 1, &upper)))
        array_failed();
    const long long count = static_cast<long long>(upper) - lower + 1;
    return count <= 0 ? 0 : static_cast<std::size_t>(count) * SafeArrayGetElemsize(a);
}

SAFEARRAY* new_byte_array(std::size_t bytes) {
    if (bytes > 0xFFFFFFF0u) throw exception("Out of memory.", 0);
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes));
    if (a == nullptr) throw exception("Out of memory.", 0);
    return a;
}

// Puts a new array into `v`, replacing what it held.
void store_array(_variant_t& v, SAFEARRAY* a) {
    try {
        v.Clear();
    } catch (...) {
        SafeArrayDestroy(a);
        throw;
    }
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = a;
}

}  // namespace

std::string variant2string(const _variant_t& v) {
    if (v.vt != VT_BSTR) throw bad_value_conversion(0);
    return wide_to_mb(v.bstrVal, SysStringLen(v.bstrVal));
}

unsigned int set_variant_from_str(_variant_t& v, const std::string& s) {
    if (s.size() > 0x7FFFFFF0u) throw exception("Out of memory.", 0);
    return set_variant_from_str(v, static_cast<unsigned int>(s.size()), s.data());
}

unsigned int set_variant_from_str(_variant_t& v, unsigned int len, const char* text) {
    if (len < long_text_threshold) {
        const std::wstring wide = mb_to_wide(text, len);
        BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (b == nullptr) throw _com_error(E_OUTOFMEMORY);
        try {
            v.Clear();
        } catch (...) {
            SysFreeString(b);
            throw;
        }
        v.vt = VT_BSTR;
        v.bstrVal = b;
        return len;
    }
    if (len > 0x7FFFFFF0u / 2) throw exception("Out of memory.", 0);
    // UTF-16 never needs more units than UTF-8 has bytes: 2 * len bytes hold it,
    // and the two more keep a terminating NUL.
    const std::u16string units = mb_to_utf16(text, len);
    SAFEARRAY* a = new_byte_array(2 * std::size_t(len) + 2);
    try {
        array_access access(a);
        unsigned char* out = access.bytes();
        for (char16_t unit : units) {  // little-endian, as the platform stores it
            *out++ = static_cast<unsigned char>(unit & 0xFF);
            *out++ = static_cast<unsigned char>(unit >> 8);
        }
        access.release();
    } catch (...) {
        SafeArrayDestroy(a);
        throw;
    }
    store_array(v, a);
    return 2 * len;
}

unsigned int set_variant_from_raw(_variant_t& v, const std::string& bytes) {
    if (bytes.size() > 0xFFFFFFF0u) throw exception("Out of memory.", 0);
    return set_variant_from_raw(v, static_cast<unsigned int>(bytes.size()), bytes.data());
}

unsigned int set_variant_from_raw(_variant_t& v, unsigned int len, const char* data) {
    SAFEARRAY* a = new_byte_array(len);
    try {
        array_access access(a);
        if (len > 0) std::memcpy(access.bytes(), data, len);
        access.release();
    } catch (...) {
        SafeArrayDestroy(a);
        throw;
    }
    store_array(v, a);
    return len;
}

std::string safearray_to_str(SAFEARRAY* a) {
    const std::size_t units = array_bytes(a) / 2;
    std::u16string text;
    {
        array_access access(a);
        const unsigned char* in = access.bytes();
        for (std::size_t i = 0; i < units; ++i) {
            const char16_t unit = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
            if (unit == 0) break;  // the text ends at its NUL, as the C library reads it
            text += unit;
        }
        access.release();
    }
    return utf16_to_mb(text.data(), text.size());
}

std::string safearray_to_raw(SAFEARRAY* a) {
    const std::size_t n = array_bytes(a);
    array_access access(a);
    std::string bytes(reinterpret_cast<const char*>(access.bytes()), n);
    access.release();
    return bytes;
}

unsigned int safearray_to_raw(SAFEARRAY* a, unsigned int capacity, char* buffer) {
    const std::size_t n = array_bytes(a);
    if (capacity < n) throw value_is_truncated(0);
    array_access access(a);
    if (n > 0) std::memcpy(buffer, access.bytes(), n);
    access.release();
    return static_cast<unsigned int>(n);
}

}  // namespace tovi
