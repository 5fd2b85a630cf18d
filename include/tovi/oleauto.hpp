// tovi's own OLE Automation layer (the platform has none): the types and services
// the library and its drivers use, with the platform's names and values.
#ifndef TOVI_OLEAUTO_HPP
#define TOVI_OLEAUTO_HPP

#include <tovi/oleauto/types.hpp>
#include <tovi/oleauto/variant_time.hpp>

#endif
