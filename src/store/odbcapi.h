#pragma once

// The ODBC driver manager's C API. On Windows its headers need the system's base types
// first, and Qt's UNICODE define would select the wide entry points: the narrow ones are
// named here, as unixODBC's plain names are.

#ifdef _WIN32
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>

namespace Odbc {

#ifdef _WIN32
inline constexpr auto DataSources = SQLDataSourcesA;
inline constexpr auto Drivers = SQLDriversA;
inline constexpr auto GetInfo = SQLGetInfoA;
#else
inline constexpr auto DataSources = SQLDataSources;
inline constexpr auto Drivers = SQLDrivers;
inline constexpr auto GetInfo = SQLGetInfo;
#endif

} // namespace Odbc
