// The connection string the ODBC driver hands to SQLDriverConnect, built from
// the URL's provider, service and session for each kind of ODBC source.
#ifndef TOVI_DRIVERS_ODBC_ODBC_CONNECTION_STRING_HPP
#define TOVI_DRIVERS_ODBC_ODBC_CONNECTION_STRING_HPP

#include <string>

#include <tovi/url.hpp>

namespace tovi::odbc {

// "DRIVER={<driver name>}" followed by the attributes of the source's row. A
// value that holds ";", "{", "}" or "=", or begins or ends with a blank, is
// written in braces with every "}" doubled, so no value can add or change an
// attribute; any other value is written as it stands.
std::string connection_string(const svc_provider_t& provider, const service_t& service,
                              const session_t& session);

// `value` as a connection-string attribute value (see above).
std::string attribute_value(const std::string& value);

}  // namespace tovi::odbc

#endif
