// Loading module plug-ins: the demo's own loads and registers its windows; a file that is no
// plug-in, one built for another framework version and one lacking a symbol are each refused
// with a message naming the file and why, and the others load all the same.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/ModulePlugins.h"
#include "sys/uPlugItem.h"

using namespace Qd::Core;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// A folder holding copies of the given libraries (and a file that only looks like one).
class PluginFolder {
public:
    void add(const QString& library) {
        ASSERT_TRUE(QFile::copy(library, m_dir.filePath(QFileInfo(library).fileName())))
            << library.toStdString();
    }
    void addFake(const QString& name) {
        QFile f(m_dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a library");
    }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

TEST(ModulePlugins, TheDemoLoadsAndTheOnesThatCannotAreNamedWithWhy) {
    PluginFolder folder;
    folder.add(S(QD_DEMO_PLUGIN));
    folder.add(S(QD_OLD_VERSION_PLUGIN));
    folder.add(S(QD_MISSING_SYMBOL_PLUGIN));
    folder.addFake(S("libbroken.so"));
    ASSERT_FALSE(Sys::TPlugsPool::openEntry(S("TOrderBillForm")));

    const Base::PluginLoad first = Base::loadModulePlugins({folder.path()});
    EXPECT_EQ(first.loaded, QStringList{QDir::toNativeSeparators(folder.file(S("libqddemo.so"))) +
                                        S(": 演示模块")});
    EXPECT_TRUE(Sys::TPlugsPool::openEntry(S("TOrderBillForm")));
    EXPECT_TRUE(Sys::TPlugsPool::openEntry(S("TOrderTrackingForm")));

    const auto failureFor = [&](const char* file) {
        for (const QString& f : first.failures)
            if (f.startsWith(S("模块插件 ") + folder.file(S(file)) + S(" 无法加载：")))
                return f;
        return QString();
    };
    EXPECT_EQ(first.failures.size(), 3) << first.failures.join('\n').toStdString();
    EXPECT_TRUE(failureFor("libbroken.so").contains(S("不是插件")));
    EXPECT_TRUE(failureFor("libqdcase_old.so").contains(S("为框架版本 9.0 编译")))
        << failureFor("libqdcase_old.so").toStdString();
    EXPECT_TRUE(failureFor("libqdcase_missing.so").contains(S("qd_symbol_nobody_defines")))
        << failureFor("libqdcase_missing.so").toStdString();

    // Each file once: loading the folder again loads and refuses nothing.
    const Base::PluginLoad again = Base::loadModulePlugins({folder.path()});
    EXPECT_TRUE(again.loaded.isEmpty());
    EXPECT_TRUE(again.failures.isEmpty());
}

}  // namespace
