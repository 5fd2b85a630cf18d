// The platform's dynamic loader, behind a small interface: the one place of the
// core (besides the exit hook) that includes <dlfcn.h>.
#ifndef TOVI_CORE_PLATFORM_DYNLIB_HPP
#define TOVI_CORE_PLATFORM_DYNLIB_HPP

#include <string>

#include <tovi/config.hpp>

namespace tovi::platform {

// The directory of the file that holds libtovi.so, ending in "/"; the empty
// string when the loader cannot tell or the file name exceeds 1024 characters.
TOVI_API std::string core_directory();

}  // namespace tovi::platform

#endif
