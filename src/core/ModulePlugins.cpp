#include "core/ModulePlugins.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QSet>

#include "base/ProgramHome.h"
#include "core/ModulePlugin.h"
#include "db/Trace.h"

namespace Qd::Core::Base {

QStringList modulePluginFolders() {
    QStringList candidates;
    for (const QString& dir :
         qEnvironmentVariable("QD_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        candidates << dir;
    const QString exe = QCoreApplication::applicationDirPath();
    candidates << exe + QStringLiteral("/plugins")
               << exe + QStringLiteral("/../lib/qdforms/plugins")
               << Sys::programPath(QStringLiteral("plugins"));
    QStringList folders;
    for (const QString& dir : candidates) {
        const QFileInfo info(dir);
        if (info.isDir() && !folders.contains(info.canonicalFilePath()))
            folders << info.canonicalFilePath();
    }
    return folders;
}

namespace {

// Why the file is not a plug-in this framework can load, read from its metadata before any of
// its code runs; empty when it is one.
QString metadataFault(const QPluginLoader& loader) {
    const QJsonObject meta = loader.metaData();
    if (meta.isEmpty())
        return QStringLiteral("不是插件（%1）").arg(loader.errorString());
    const QString iid = meta.value(QStringLiteral("IID")).toString();
    if (!iid.startsWith(QLatin1String(QdModulePlugin_iid_base)))
        return QStringLiteral("不是本系统的模块插件（接口 %1）").arg(iid);
    const QString version = iid.mid(int(qstrlen(QdModulePlugin_iid_base)));
    if (version != QLatin1String(QD_FRAMEWORK_VERSION))
        return QStringLiteral("为框架版本 %1 编译，本程序的框架版本是 %2，请用 %2 重新编译")
            .arg(version, QLatin1String(QD_FRAMEWORK_VERSION));
    return {};
}

QSet<QString>& loadedFiles() {
    static QSet<QString> files;
    return files;
}

}  // namespace

PluginLoad loadModulePlugins(const QStringList& folders) {
    PluginLoad out;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QFileInfo& file : dir.entryInfoList(QDir::Files, QDir::Name)) {
            if (!QLibrary::isLibrary(file.fileName()))
                continue;
            const QString path = file.canonicalFilePath();
            if (loadedFiles().contains(path))
                continue;
            loadedFiles().insert(path);
            const QString shown = QDir::toNativeSeparators(file.filePath());
            QPluginLoader loader(path);
            QString why = metadataFault(loader);
            IQdModulePlugin* plugin = nullptr;
            if (why.isEmpty()) {
                if (!loader.load())
                    why = loader.errorString();
                else if (!(plugin = qobject_cast<IQdModulePlugin*>(loader.instance())))
                    why = QStringLiteral("没有模块插件的接口");
            }
            if (!why.isEmpty()) {
                const QString message = QStringLiteral("模块插件 %1 无法加载：%2").arg(shown, why);
                Db::LogError(message);
                out.failures << message;
                continue;
            }
            plugin->registerModules();
            Db::LogMsg(QStringLiteral("加载模块插件 %1（%2）").arg(shown, plugin->moduleName()));
            out.loaded << shown + QStringLiteral(": ") + plugin->moduleName();
        }
    }
    return out;
}

}  // namespace Qd::Core::Base
