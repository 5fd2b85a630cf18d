// INSERT texts for the ADO row insertion: any text either reads or is refused
// with the documented classes; a text built from literals (whatever bytes they
// hold, quoted) reads back as exactly those literals, in their columns.
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ado_insert.hpp"

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // 1. The text as it is.
    try {
        const tovi::ado::insert_plan plan = tovi::ado::plan_insert(input);
        if (plan.rewritten &&
            (plan.values.empty() ||
             plan.select_text != "SELECT " + plan.column_list + " FROM " + plan.table))
            std::abort();
    } catch (const tovi::bad_sql&) {
    } catch (const tovi::bad_value_conversion&) {
    } catch (...) {
        std::abort();  // no other class may leave
    }
    // 2. Literals cut from the input at NUL bytes (text without NULs), with a
    //    parameter between them; each must come back as it went in.
    std::vector<std::string> literals(1);
    for (char c : input) {
        if (c == '\0')
            literals.emplace_back();
        else
            literals.back() += c;
    }
    std::string columns, values;
    for (std::size_t i = 0; i < literals.size(); ++i) {
        columns += (i ? ", c" : "c") + std::to_string(i);
        values += (i ? ", " : "") + quoted(literals[i]);
    }
    const tovi::ado::insert_plan plan =
        tovi::ado::plan_insert("INSERT INTO t (" + columns + ", p) VALUES (" + values + ", :?)");
    if (!plan.rewritten || plan.values.size() != literals.size() + 1 ||
        !plan.values.back().parameter)
        std::abort();
    for (std::size_t i = 0; i < literals.size(); ++i)
        if (plan.values[i].parameter || tovi::variant2string(plan.values[i].literal) != literals[i])
            std::abort();
    return 0;
}
