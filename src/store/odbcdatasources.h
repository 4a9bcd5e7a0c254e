#pragma once

#include <QString>
#include <QStringList>

// The data source names that the ODBC driver manager knows (user and system ones).
QStringList OdbcDataSourceNames();
// Whether the driver manager knows a data source of that name (ignoring case).
bool OdbcDataSourceExists(const QString& name);
// The driver of a data source when the driver manager can not have loaded it: the data
// source names a driver that is not registered, or a driver library that does not exist.
// Empty when the driver looks installed or the data source is unknown.
QString MissingOdbcDriver(const QString& dataSource);
