// Parameter markers in libpq's notation (no libpq needed: fuzzed on its own).
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_MARKERS_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_MARKERS_HPP

#include <string>

namespace tovi::pgsql {

// The application's "?" markers as libpq's "$1", "$2", ..., outside quoted text
// (with E'' escapes), quoted identifiers, dollar-quoted text and comments;
// `count` is set to the number of markers.
std::string numbered_markers(const std::string& sql, int& count);

}  // namespace tovi::pgsql

#endif
