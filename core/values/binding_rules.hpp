// Rules every value kind applies when it records a binding.
#ifndef TOVI_CORE_VALUES_BINDING_RULES_HPP
#define TOVI_CORE_VALUES_BINDING_RULES_HPP

#include <tovi/binding.hpp>

namespace tovi::detail {

// A value is bound a second time to a statement that still uses its earlier
// binding (at `earlier_index`): frees `fresh` and throws tovi::bad_operation.
// One value cannot follow two markers, and dropping either binding would leave
// its marker with whatever was bound there before.
[[noreturn]] void refuse_second_binding(long earlier_index, impl::value_t* fresh);

}  // namespace tovi::detail

#endif
