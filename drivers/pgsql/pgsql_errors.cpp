#include "pgsql_errors.hpp"

#include <cctype>
#include <cstring>

namespace tovi::pgsql {

namespace {

std::string field(const PGresult* r, int code) {
    const char* v = r != nullptr ? PQresultErrorField(r, code) : nullptr;
    return v != nullptr ? std::string(v) : std::string();
}

// libpq's texts end in a line break.
std::string trimmed(const char* text) {
    std::string s = text != nullptr ? text : "";
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    return s;
}

bool is_sqlstate(const std::string& s, std::size_t at) {
    if (at + 5 > s.size()) return false;
    for (std::size_t i = at; i < at + 5; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])) &&
            !std::isupper(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

// PostgreSQL's own numeric form of a SQLSTATE (six bits a character), so that
// the native code says as much as the state.
int numeric_state(const std::string& state) {
    int code = 0;
    for (std::size_t i = 0; i < state.size() && i < 5; ++i)
        code |= ((state[i] - '0') & 0x3F) << (6 * i);
    return code;
}

}  // namespace

tovi::driver::native_exception result_error(const PGresult* r, const PGconn* c) {
    tovi::driver::native_message_fields f;
    f.primary = field(r, PG_DIAG_MESSAGE_PRIMARY);
    f.detail = field(r, PG_DIAG_MESSAGE_DETAIL);
    f.hint = field(r, PG_DIAG_MESSAGE_HINT);
    const std::string position = field(r, PG_DIAG_STATEMENT_POSITION);
    f.position = position.empty() ? 0 : std::atoi(position.c_str());
    std::string state = field(r, PG_DIAG_SQLSTATE);
    if (f.primary.empty()) {
        // libpq's own failure (the server went away, say): its message.
        f.primary = trimmed(r != nullptr ? PQresultErrorMessage(r) : PQerrorMessage(c));
        if (f.primary.empty()) f.primary = trimmed(PQerrorMessage(c));
    }
    if (state.empty()) state = PQstatus(c) == CONNECTION_BAD ? "08006" : "08000";
    std::string text = f.primary;
    if (!f.detail.empty()) text += "\nDETAIL: " + f.detail;
    if (!f.hint.empty()) text += "\nHINT: " + f.hint;
    if (f.position != 0) text += "\nAt character " + position + " of the statement.";
    text += " (SQLSTATE " + state + ")";
    return tovi::driver::native_exception(text, numeric_state(state), state, std::move(f));
}

tovi::driver::native_exception connect_error(const PGconn* c) {
    // Verbose messages read "FATAL:  28P01: password authentication failed ...",
    // followed by a "LOCATION:" line: the state is taken out, the rest kept.
    std::string text = trimmed(c != nullptr ? PQerrorMessage(c) : "out of memory");
    std::string state;
    for (std::size_t at = text.find(":  "); at != std::string::npos;
         at = text.find(":  ", at + 1)) {
        if (is_sqlstate(text, at + 3) && text.compare(at + 8, 2, ": ") == 0) {
            state = text.substr(at + 3, 5);
            text.erase(at + 3, 7);
            break;
        }
    }
    const std::size_t location = text.find("\nLOCATION:");
    if (location != std::string::npos) {
        const std::size_t end = text.find('\n', location + 1);
        text.erase(location, end == std::string::npos ? std::string::npos : end - location);
    }
    if (state.empty()) state = "08001";
    tovi::driver::native_message_fields f;
    f.primary = text;
    return tovi::driver::native_exception(text, numeric_state(state), state, std::move(f));
}

}  // namespace tovi::pgsql
