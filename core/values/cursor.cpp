// cursor_t: a value whose content is a set of rows.
#include <tovi/values.hpp>

namespace tovi {

cursor_t::cursor_t() = default;
cursor_t::~cursor_t() = default;
void cursor_t::make_impl(impl::value_factory&) {}
void cursor_t::accept(value_visitor&) {}
bool cursor_t::next() {
    return false;
}

}  // namespace tovi
