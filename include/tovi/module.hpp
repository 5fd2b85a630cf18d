/// @file
/// What driver and dialect modules export, and how their file names are made.
///
/// A driver module exports (C linkage) `createDataSource`, returning a new data
/// source for a URL that the caller owns, and optionally `before_module_unload`,
/// called once before the core unloads the module. A dialect module exports
/// `make_server`, returning a new server descriptor that the core destroys through
/// its virtual destructor before unloading the module.
///
/// createDataSource returns null only when allocation fails; it may throw (the
/// core then reports "Unable to create an instance of the Data Source object.").
/// It is called under the module registry's lock. Classes whose objects cross a
/// module boundary define a key function in their home module (exceptions in
/// libtovi.so), so an object outlives the module that made it.
#ifndef TOVI_MODULE_HPP
#define TOVI_MODULE_HPP

#include <string>

#include <tovi/config.hpp>

namespace tovi {
class data_source;
class server_t;
class url_t;
}  // namespace tovi

extern "C" {
/// A driver module's createDataSource export: a new data source for `url`.
using tovi_create_data_source_fn = tovi::data_source* (*)(tovi::url_t* url);
/// A module's optional beforeModuleUnload export, called before the module is unloaded.
using tovi_before_module_unload_fn = void (*)();
/// A dialect module's makeServer export: a new server descriptor.
using tovi_make_server_fn = tovi::server_t* (*)();
}

/// Exports a function from a module built with hidden visibility.
#define TOVI_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace utils {
/// The module file name for a module name: name + ".so".
TOVI_API std::string make_dll_name(const char* name);
}  // namespace utils

#endif
