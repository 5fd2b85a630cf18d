/// @file
/// tovi's own OLE Automation layer (the platform has none): the types and services
/// the library and its drivers use, with the platform's names and values.
#ifndef TOVI_OLEAUTO_HPP
#define TOVI_OLEAUTO_HPP

#include <tovi/oleauto/bstr.hpp>
#include <tovi/oleauto/com_error.hpp>
#include <tovi/oleauto/safearray.hpp>
#include <tovi/oleauto/text_codec.hpp>
#include <tovi/oleauto/types.hpp>
#include <tovi/oleauto/variant.hpp>
#include <tovi/oleauto/variant_time.hpp>

#endif
