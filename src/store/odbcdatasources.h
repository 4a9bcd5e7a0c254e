#pragma once

#include <QString>
#include <QStringList>

// The data source names that the ODBC driver manager knows (user and system ones).
QStringList OdbcDataSourceNames();
// Whether the driver manager knows a data source of that name (ignoring case).
bool OdbcDataSourceExists(const QString& name);
