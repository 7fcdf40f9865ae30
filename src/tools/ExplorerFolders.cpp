#include "tools/ExplorerFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <optional>
#include <utility>

#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"
#include "base/SafeName.h"

namespace Qd::Core::Tools {

namespace {

const QChar kBackslash = QLatin1Char('\\');

QString configIni() {
    return Sys::programPath(QStringLiteral("config.ini"));
}

// A stored root and the local folder that holds it: "D:" or "\\host\share".
struct Root {
    QString stored;
    QString local;
};

// The roots config.ini [drives] sends elsewhere: a key of one letter is a drive, a key
// "host/share" a share.
QList<Root> overriddenRoots() {
    QSettings ini(configIni(), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("drives"));
    QList<Root> roots;
    for (const QString& key : ini.allKeys()) {
        const QString target = QDir::cleanPath(ini.value(key).toString());
        if (target.isEmpty() || target == QLatin1String("."))
            continue;
        if (key.size() == 1 && key[0].isLetter())
            roots.append({key.toUpper() + QLatin1Char(':'), target});
        else if (key.count(QLatin1Char('/')) == 1)
            roots.append(
                {QStringLiteral("\\\\") + QString(key).replace(QLatin1Char('/'), kBackslash),
                 target});
    }
    return roots;
}

QString localRoot(const QString& stored, const QString& underHome) {
    for (const Root& r : overriddenRoots())
        if (r.stored.compare(stored, Qt::CaseInsensitive) == 0)
            return r.local;
    return Sys::programPath(underHome);
}

// The path's parts below its root, without "." and ".." (a stored path never leaves its root).
QStringList partsOf(const QString& path) {
    QStringList parts;
    for (const QString& p : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (p != QLatin1String(".") && p != QLatin1String(".."))
            parts.append(p);
    return parts;
}

QString joined(const QString& base, const QStringList& parts) {
    return parts.isEmpty() ? base : base + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

// The rest of `path` below `folder`, or nothing when it is not inside.
std::optional<QString> below(const QString& path, const QString& folder) {
    if (path == folder)
        return QString();
    if (path.startsWith(folder + QLatin1Char('/')))
        return path.mid(folder.size() + 1);
    return std::nullopt;
}

QString withBackslashes(QString path) {
    return path.replace(QLatin1Char('/'), kBackslash);
}

QString storedUnder(const QString& root, const QString& rest) {
    if (rest.isEmpty())
        return root.endsWith(QLatin1Char(':')) ? root + kBackslash : root;
    return root + kBackslash + withBackslashes(rest);
}

}  // namespace

QString localFolder(const QString& stored) {
#ifdef Q_OS_WIN
    return stored;
#else
    const QString path = stored.trimmed();
    if (path.isEmpty())
        return {};
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    const QString s = QString(path).replace(kBackslash, QLatin1Char('/'));
    if (s.startsWith(QLatin1String("//"))) {
        const QStringList parts = partsOf(s);
        if (parts.size() < 2)
            return Sys::programPath(QStringLiteral("unc/") + parts.join(QLatin1Char('/')));
        const QString share = QStringLiteral("\\\\") + parts[0] + kBackslash + parts[1];
        return joined(localRoot(share, QStringLiteral("unc/%1/%2").arg(parts[0], parts[1])),
                      parts.mid(2));
    }
    if (s.size() >= 2 && s[0].isLetter() && s[1] == QLatin1Char(':')) {
        const QString letter = s.left(1).toUpper();
        return joined(localRoot(letter + QLatin1Char(':'), QStringLiteral("drives/") + letter),
                      partsOf(s.mid(2)));
    }
    return joined(Sys::programHome(), partsOf(s));
#endif
}

QString storedFolder(const QString& local) {
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(local);
#else
    const QString path = QDir::cleanPath(local);
    for (const Root& r : overriddenRoots())
        if (const auto rest = below(path, r.local))
            return storedUnder(r.stored, *rest);
    const QString home = QDir::cleanPath(Sys::programHome());
    if (const auto rest = below(path, home + QStringLiteral("/drives"))) {
        const QStringList parts = rest->split(QLatin1Char('/'));
        if (parts[0].size() == 1)
            return storedUnder(parts[0].toUpper() + QLatin1Char(':'),
                               parts.mid(1).join(QLatin1Char('/')));
    }
    if (const auto rest = below(path, home + QStringLiteral("/unc"))) {
        const QStringList parts = rest->split(QLatin1Char('/'));
        if (parts.size() >= 2)
            return storedUnder(QStringLiteral("\\\\") + parts[0] + kBackslash + parts[1],
                               parts.mid(2).join(QLatin1Char('/')));
    }
    if (const auto rest = below(path, home))
        return withBackslashes(*rest);
    return path;
#endif
}

QString joinFolder(const QString& path, const QString& name) {
    if (path.isEmpty())
        return name;
    const QChar separator = path.startsWith(QLatin1Char('/')) ? QLatin1Char('/') : kBackslash;
    return path.endsWith(separator) ? path + name : path + separator + name;
}

QString folderNameFault(const QString& name) {
    if (name.trimmed().isEmpty())
        return QString::fromUtf8("目录名称不能为空");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QString::fromUtf8("目录名称“%1”不可用").arg(name);
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : name)
        if (forbidden.contains(c))
            return QString::fromUtf8("目录名称“%1”含有不允许的字符 %2").arg(name, c);
    return {};
}

QString copyIntoFolder(const QString& source, const QString& folder, QString* error) {
    QFile in(source);
    if (!Sys::ownerOnlyFolder(folder) || !in.open(QIODevice::ReadOnly)) {
        *error = QString::fromUtf8("不能把“%1”保存到“%2”").arg(source, folder);
        return {};
    }
    const QFileInfo info(Sys::safeFileName(QFileInfo(source).fileName()));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString name = info.fileName();
    for (int n = 2; QFileInfo::exists(folder + QLatin1Char('/') + name); ++n)
        name = QStringLiteral("%1 (%2)%3").arg(info.completeBaseName()).arg(n).arg(suffix);
    Sys::PendingFile out(folder + QLatin1Char('/') + name);
    while (out.ok() && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (!out.write(std::string_view(chunk.constData(), std::size_t(chunk.size()))))
            break;
    }
    if (out.ok() && in.error() == QFileDevice::NoError && out.commit())
        return name;
    *error = out.error().isEmpty() ? in.errorString() : out.error();
    return {};
}

int readListStyle() {
    QSettings ini(configIni(), QSettings::IniFormat);
    bool ok = false;
    const int style = ini.value(QStringLiteral("main/liststyle")).toString().toInt(&ok);
    return ok && style >= 0 && style <= 3 ? style : 3;
}

void writeListStyle(int style) {
    const QString path = configIni();
    Sys::ownerOnlyFolderOf(path);
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("main/liststyle"), style);
    }
    Sys::ownerOnly(path);
}

}  // namespace Qd::Core::Tools
