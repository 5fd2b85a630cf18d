// Engine text through the value rules: a whole number or a number converts or is
// bad_value_conversion, never anything else; a number prints as text that reads
// back as the same number; normalising text never loses what does not parse.
#include <tovi/driver/value_rules.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const long whole = tovi::driver::whole_number(text.data(), text.size());
        const std::string printed = std::to_string(whole);
        if (tovi::driver::whole_number(printed.data(), printed.size()) != whole) std::abort();
    } catch (const tovi::bad_value_conversion&) {
    }
    try {
        const double real = tovi::driver::real_number(text.data(), text.size());
        const std::string printed = tovi::driver::real_text(real);
        const double back = tovi::driver::real_number(printed.data(), printed.size());
        if (back != real && real == real) std::abort();  // NaN is no number to compare
    } catch (const tovi::bad_value_conversion&) {
    }
    for (auto kind : {tovi::driver::value_kind::real, tovi::driver::value_kind::date_time,
                      tovi::driver::value_kind::boolean}) {
        std::string normalised = text;
        tovi::driver::normalise_text(kind, normalised);
        if (normalised.empty() && !text.empty()) std::abort();
    }
    return 0;
}
