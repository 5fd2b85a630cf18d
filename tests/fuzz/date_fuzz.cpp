// Date texts: any text either converts or raises std::out_of_range (the
// documented error); a converted date prints and reads back to the same date.
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tm first{};
    try {
        tovi::string2tm(text, first);
    } catch (const std::out_of_range&) {
        return 0;
    }
    const std::string printed = tovi::tm2string(first);
    tm second{};
    try {
        tovi::string2tm(printed, second);
    } catch (const std::out_of_range&) {
        std::abort();  // what tovi printed it must read
    }
    if (tovi::tm2string(second) != printed) std::abort();
    return 0;
}
