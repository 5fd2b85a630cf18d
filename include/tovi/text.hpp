/// @file
/// Text helpers: quote escaping, ASCII upper-casing, character replacement,
/// slash-separated descriptors and the rewriting of SQL parameter markers.
#ifndef TOVI_TEXT_HPP
#define TOVI_TEXT_HPP

#include <string>

#include <tovi/config.hpp>

namespace utils {

/// Copies the first `len` bytes of `src` to `dest`, doubling every apostrophe, then
/// a NUL. Returns the bytes written before the NUL. `dest` needs 2 * len + 1 bytes.
TOVI_API unsigned int escape_str(char* dest, const char* src, unsigned int len);

/// Bytes a to z become A to Z; every other byte, above 127 included, is unchanged.
TOVI_API std::string make_upper(const std::string& s);
/// The same conversion in place; returns a copy of the result.
TOVI_API std::string makeUpper(std::string& s);

/// Every `c` replaced by `with` (which may be empty).
TOVI_API std::string replace(const std::string& s, char c, const std::string& with);
/// The same over the characters [first, last).
TOVI_API std::string replace(std::string::iterator first, std::string::iterator last, char c,
                             const std::string& with);
/// The same over the characters [first, last).
TOVI_API std::string replace(std::string::const_iterator first, std::string::const_iterator last,
                             char c, const std::string& with);

/// Takes the next "/"-introduced element off the front of `s`: for "/a/b" returns
/// "a" and leaves "/b". Returns "" and leaves `s` alone when `s` is empty or does
/// not begin with "/".
TOVI_API std::string getNextParam(std::string& s);

/// The first element: "/t/f" gives "/t". Without a "/" after the first character this and
/// getFieldDescriptor() throw
/// tovi::exception "Invalid descriptor structure.".
TOVI_API std::string getObjectDescriptor(const std::string& d);
/// The second element: "/t/f" gives "/f".
TOVI_API std::string getFieldDescriptor(const std::string& d);

/// Rewrites parameter markers outside quoted literals and double-quoted identifiers;
/// "::" (a cast) is never a marker. With marker ":" and
/// replacement "?" (what every driver uses) named (":a"), anonymous (":?") and plain
/// ("?") markers all become "?". With another replacement, anonymous markers become
/// replacement + their ordinal and named ones replacement + name. Quoted literals are
/// copied unchanged (a backslash-escaped apostrophe does not end one; an unterminated
/// one runs to the end of the text). Never fails; terminates for every input.
TOVI_API std::string split_sql_param(const std::string& sql, const std::string& marker,
                                     const std::string& replacement);
/// The same; with `postgresql`, PostgreSQL's dollar-quoted literals ($$...$$,
/// $tag$...$tag$) and array slices (a[1:2]) are left alone too.
TOVI_API std::string split_sql_param(const std::string& sql, const std::string& marker,
                                     const std::string& replacement, bool postgresql);

}  // namespace utils

#endif
