#include "support/OdbcTestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace Qd::Test {

namespace {

// Where Debian installs a driver (libsqliteodbc, tdsodbc); empty when it is not there.
QString driverPath(const char* file) {
    for (const char* dir :
         {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc"}) {
        const QString path =
            QString::fromLatin1(dir) + QLatin1Char('/') + QString::fromLatin1(file);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

}  // namespace

bool registerSqliteOdbcDriver(QString* why) {
    static QTemporaryDir folder;
    static bool done = false;
    if (done)
        return true;
    const QString driver = driverPath("libsqlite3odbc.so");
    if (driver.isEmpty()) {
        if (why)
            *why = QStringLiteral("libsqlite3odbc.so not found (Debian package libsqliteodbc)");
        return false;
    }
    QFile ini(folder.filePath(QStringLiteral("odbcinst.ini")));
    if (!ini.open(QIODevice::WriteOnly)) {
        if (why)
            *why = QStringLiteral("cannot write %1").arg(ini.fileName());
        return false;
    }
    ini.write(QStringLiteral("[QdSQLite]\nDescription=SQLite3 for the framework's tests\n"
                             "Driver=%1\nThreading=2\n")
                  .arg(driver)
                  .toUtf8());
    if (const QString tds = driverPath("libtdsodbc.so"); !tds.isEmpty())
        ini.write(QStringLiteral("[FreeTDS]\nDriver=%1\n").arg(tds).toUtf8());
    ini.close();
    qputenv("ODBCSYSINI", QFile::encodeName(folder.path()));
    qputenv("ODBCINSTINI", "odbcinst.ini");
    done = true;
    return true;
}

QString sqliteOdbcConnection(const QString& path) {
    return QStringLiteral("Driver=QdSQLite;Database=%1;LoadExt=%2;Timeout=5000")
        .arg(path, QStringLiteral(QD_TSQL_EXTENSION));
}

}  // namespace Qd::Test
