#pragma once

#include <gtest/gtest.h>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "db/SqliteDataServices.h"
#include "support/ScriptedPrompter.h"

namespace Qd::Test {

// True when a file may be read and written by its owner alone (0600), or a folder also entered
// (0700): what every file the client writes must be.
bool isOwnerOnly(const QString& path);

// A folder path under `parent` in which nothing can be made, for tests of a read-only program
// folder: a folder without the write right, or, where the tests run with the right to write
// anywhere (root, which the write right does not stop), a plain file standing where the folder
// would be, so that making anything under it fails all the same. `how` says which was used.
QString unwritableFolder(const QString& parent, QString* how = nullptr);

// A fixture that gives each test a fresh SQLite database file in its own temporary folder,
// which is also the program home; the data services and a scripted prompter are installed for
// the test's duration.
class DbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Core::Db::SqliteDataServices& db() { return *m_db; }
    ScriptedPrompter& prompts() { return *m_prompter; }
    QString dir() const { return m_dir.path(); }
    QString dbPath() const;
    // Everything the trace holds so far: the statements the code under test sent.
    static QString traced();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<Core::Db::SqliteDataServices> m_db;
};

}  // namespace Qd::Test
