// ADO failures as tovi exceptions: the text of the connection's Errors
// collection, one line per error, the first non-zero native error as the code.
#ifndef TOVI_DRIVERS_ADO_ADO_ERRORS_HPP
#define TOVI_DRIVERS_ADO_ADO_ERRORS_HPP

#include <string>

#include <tovi/driver/native_exception.hpp>

#include "ado_driver.hpp"

namespace tovi::ado {

// "SQLCode: <state>. Native error: <n>. <description>" per error ("SQLCode:
// ..." only with a state), joined by "\n". When the collection does not hold
// `cause` (an ADO failure of its own, not the provider's), the cause's
// description alone, code 0.
tovi::driver::native_exception errors_exception(adodb::Connection& c,
                                                const adodb::com_error* cause);

}  // namespace tovi::ado

#endif
