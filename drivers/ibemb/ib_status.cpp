// Native errors and parameter buffers.
#include "ib_status.hpp"

namespace tovi::ib {

ISC_STATUS* status() {
    thread_local ISC_STATUS_ARRAY vector{};
    return vector;
}

tovi::driver::native_exception native_error(const ISC_STATUS* s) {
    std::string text;
    char message[1024];
    const ISC_STATUS* cursor = s;
    while (fb_interpret(message, sizeof message, &cursor) > 0) {
        if (!text.empty()) text += "; ";
        text += message;
    }
    long code = isc_sqlcode(s);
    if (code == 999) code = 0;
    char state[6] = {0};
    fb_sqlstate(state, s);
    return tovi::driver::native_exception(text, static_cast<int>(code), state);
}

void param_buffer::byte(char b) {
    if (bytes_.size() + 1 > 1024) throw exception("Parameter buffer item is too long.", 0);
    bytes_ += b;
}

void param_buffer::item(char tag, const std::string& value) {
    if (value.size() > 255 || bytes_.size() + 2 + value.size() > 1024)
        throw exception("Parameter buffer item is too long.", 0);
    bytes_ += tag;
    bytes_ += static_cast<char>(value.size());
    bytes_ += value;
}

}  // namespace tovi::ib

namespace tovi::ib {

void param_buffer::number(char tag, int value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    item(tag, bytes);
}

}  // namespace tovi::ib
