// The ODBC C interface, next to tovi's own OLE Automation types.
//
// Without windows.h, unixODBC's sqltypes.h defines the Windows type names
// itself (ULONG as unsigned long, among others), which clash with the
// platform's definitions that tovi carries (<tovi/oleauto/types.hpp>). Here
// tovi's come first, the few other names unixODBC expects from windows.h are
// given as unixODBC would give them, and ALREADY_HAVE_WINDOWS_TYPE makes it
// define only its own SQL types. No ODBC prototype uses the clashing names.
#ifndef TOVI_DRIVERS_ODBC_ODBC_API_HPP
#define TOVI_DRIVERS_ODBC_ODBC_API_HPP

#include <tovi/oleauto/types.hpp>

#ifndef ALREADY_HAVE_WINDOWS_TYPE
#define ALREADY_HAVE_WINDOWS_TYPE
#define FAR
#define CALLBACK
#define SQL_API
#define BOOL int
using HWND = void*;
using TCHAR = char;
using WCHAR = unsigned short;
using LPWSTR = WCHAR*;
using LPCSTR = const char*;
using LPCWSTR = const WCHAR*;
using LPTSTR = TCHAR*;
using LPSTR = char*;
using LPDWORD = DWORD*;
using HINSTANCE = void*;
using UCHAR = unsigned char;
using SCHAR = signed char;
using SQLSCHAR = SCHAR;
using SDWORD = int;
using UDWORD = unsigned int;
using SWORD = signed short int;
using UWORD = unsigned short int;
using SLONG = signed long;
using SSHORT = signed short;
using SDOUBLE = double;
using LDOUBLE = double;
using SFLOAT = float;
using PTR = void*;
using RETCODE = signed short;
using SQLHWND = void*;
#endif

#include <sql.h>
#include <sqlext.h>

#endif
