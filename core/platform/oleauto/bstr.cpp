// BSTR allocation and _bstr_t. Layout: a 32-bit byte count, then the characters,
// then a NUL character; a BSTR points at the first character.
#include <tovi/oleauto/bstr.hpp>
#include <tovi/oleauto/com_error.hpp>
#include <tovi/oleauto/text_codec.hpp>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

using length_prefix = std::uint32_t;

BSTR allocate_bytes(const void* data, std::size_t bytes) noexcept {
    if (bytes > 0x7FFFFFF0u) return nullptr;
    // Room for the characters and a whole NUL character, however odd `bytes` is.
    const std::size_t total = sizeof(length_prefix) + bytes + 2 * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::calloc(1, total));
    if (block == nullptr) return nullptr;
    const auto count = static_cast<length_prefix>(bytes);
    std::memcpy(block, &count, sizeof count);
    if (data != nullptr && bytes > 0) std::memcpy(block + sizeof(length_prefix), data, bytes);
    return reinterpret_cast<BSTR>(block + sizeof(length_prefix));
}

length_prefix byte_length(BSTR text) noexcept {
    length_prefix count;
    std::memcpy(&count, reinterpret_cast<const unsigned char*>(text) - sizeof count, sizeof count);
    return count;
}

BSTR checked(BSTR text) {
    if (text == nullptr) throw _com_error(E_OUTOFMEMORY);
    return text;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) noexcept {
    if (text == nullptr) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT len) noexcept {
    if (len > 0x7FFFFFF0u / sizeof(OLECHAR)) return nullptr;
    return allocate_bytes(text, std::size_t(len) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT len) noexcept {
    return allocate_bytes(bytes, len);
}

void SysFreeString(BSTR text) noexcept {
    if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(length_prefix));
}

UINT SysStringLen(BSTR text) noexcept {
    return text == nullptr ? 0 : byte_length(text) / sizeof(OLECHAR);
}

UINT SysStringByteLen(BSTR text) noexcept {
    return text == nullptr ? 0 : byte_length(text);
}

_bstr_t::_bstr_t(const char* text) {
    if (text != nullptr) {
        const std::wstring wide = tovi::mb_to_wide(text, std::strlen(text));
        bstr_ = checked(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    }
}

_bstr_t::_bstr_t(const std::string& text) {
    const std::wstring wide = tovi::mb_to_wide(text);
    bstr_ = checked(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

_bstr_t::_bstr_t(const wchar_t* text) {
    if (text != nullptr) bstr_ = checked(SysAllocString(text));
}

_bstr_t::_bstr_t(BSTR text, bool copy) {
    if (!copy)
        bstr_ = text;
    else if (text != nullptr)
        bstr_ = checked(SysAllocStringLen(text, SysStringLen(text)));
}

_bstr_t::_bstr_t(const _bstr_t& other) : _bstr_t(other.bstr_, true) {}

_bstr_t::_bstr_t(_bstr_t&& other) noexcept : bstr_(other.bstr_) {
    other.bstr_ = nullptr;
}

_bstr_t& _bstr_t::operator=(const _bstr_t& other) {
    if (this != &other) {
        _bstr_t copy(other);
        std::swap(bstr_, copy.bstr_);
    }
    return *this;
}

_bstr_t& _bstr_t::operator=(_bstr_t&& other) noexcept {
    std::swap(bstr_, other.bstr_);
    return *this;
}

_bstr_t::~_bstr_t() {
    SysFreeString(bstr_);
}

BSTR _bstr_t::copy() const {
    if (bstr_ == nullptr) return nullptr;
    return checked(SysAllocStringLen(bstr_, SysStringLen(bstr_)));
}

BSTR _bstr_t::Detach() noexcept {
    BSTR text = bstr_;
    bstr_ = nullptr;
    return text;
}

void _bstr_t::Attach(BSTR text) noexcept {
    SysFreeString(bstr_);
    bstr_ = text;
}

_bstr_t::operator const wchar_t*() const noexcept {
    return bstr_ != nullptr ? bstr_ : L"";
}

std::string _bstr_t::str() const {
    return tovi::wide_to_mb(bstr_, SysStringLen(bstr_));
}

bool _bstr_t::operator==(const _bstr_t& other) const noexcept {
    const UINT n = length();
    return n == other.length() && (n == 0 || std::wmemcmp(bstr_, other.bstr_, n) == 0);
}
