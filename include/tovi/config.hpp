/// @file
/// Build configuration shared by every public header: the export macro.
/// The core is built with hidden visibility; what carries TOVI_API is its interface
/// to applications and to separately built driver and dialect modules.
#ifndef TOVI_CONFIG_HPP
#define TOVI_CONFIG_HPP

#if defined(__GNUC__)
/// Marks what the library exports.
#define TOVI_API __attribute__((visibility("default")))
#else
#define TOVI_API
#endif

#endif
