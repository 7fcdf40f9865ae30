#include "support/OdbcTestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace Qd::Test {

namespace {

// Where Debian installs the driver (libsqliteodbc).
QString driverPath() {
    for (const char* dir :
         {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc"}) {
        const QString path = QString::fromLatin1(dir) + QStringLiteral("/libsqlite3odbc.so");
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
    const QString driver = driverPath();
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
