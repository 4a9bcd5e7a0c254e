#include "store/odbcdatasources.h"

#include "store/odbcapi.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

struct Listed {
    QString name;
    // A data source's driver; a driver's attributes, "key=value" each.
    QStringList details;
};

// The data sources (SQLDataSources) or the registered drivers (SQLDrivers).
template <typename Fetch> QList<Listed> ListFromDriverManager(Fetch fetch)
{
    QList<Listed> listed;
    SQLHENV environment = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return listed;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLCHAR name[256] = {};
        SQLCHAR details[4096 + 1] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT detailsLength = 0;
        if (!SQL_SUCCEEDED(fetch(environment, direction, name, SQLSMALLINT(sizeof name), &nameLength, details,
                                 SQLSMALLINT(sizeof details - 1), &detailsLength)))
            break;
        // Attributes end with a NUL each, the list with an empty one (the buffer's last
        // bytes stay NUL).
        QStringList parts;
        for (const char* part = reinterpret_cast<const char*>(details); *part; part += qstrlen(part) + 1)
            parts << QString::fromLocal8Bit(part);
        listed.append({QString::fromLocal8Bit(reinterpret_cast<const char*>(name)), parts});
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return listed;
}

QList<Listed> DataSources()
{
    return ListFromDriverManager(Odbc::DataSources);
}

} // namespace

QStringList OdbcDataSourceNames()
{
    QStringList names;
    for (const Listed& source : DataSources())
        names << source.name;
    return names;
}

QString MissingOdbcDriver(const QString& dataSource)
{
    QString driver;
    for (const Listed& source : DataSources()) {
        if (source.name.compare(dataSource, Qt::CaseInsensitive) == 0)
            driver = source.details.value(0);
    }
    if (driver.isEmpty())
        return {};
    if (QDir::isAbsolutePath(driver))
        return QFileInfo::exists(driver) ? QString() : driver;

    for (const Listed& registered : ListFromDriverManager(Odbc::Drivers)) {
        if (registered.name.compare(driver, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString& attribute : registered.details) {
            const QString library = attribute.section(u'=', 1).trimmed();
            if (attribute.section(u'=', 0, 0).trimmed().compare(u"Driver"_s, Qt::CaseInsensitive) == 0
                && QDir::isAbsolutePath(library) && !QFileInfo::exists(library))
                return driver + u" ("_s + library + u')';
        }
        return {};
    }
    return driver;
}

bool OdbcDataSourceExists(const QString& name)
{
    return OdbcDataSourceNames().contains(name, Qt::CaseInsensitive);
}
