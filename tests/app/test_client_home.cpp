// The client's start in its program home: a home it cannot write in (a read-only data folder,
// or a file where the folder would be) is said once, shown and printed, and the client does not
// start; a home it can write in says nothing.
#include <gtest/gtest.h>

#include <QDir>

#include "ClientHome.h"
#include "support/TestEnv.h"

using namespace Qd::App;

namespace {

class ClientHome : public Qd::Test::DbTest {};

TEST_F(ClientHome, AHomeTheClientCannotWriteInIsSaidOnceAndTheClientDoesNotStart) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(checkProgramHome(dir()));  // one it can write in: nothing said
    EXPECT_TRUE(testing::internal::GetCapturedStderr().empty());
    EXPECT_TRUE(prompts().asked().empty());

    QString how;
    const QString home = Qd::Test::unwritableFolder(dir(), &how);
    SCOPED_TRACE(how.toStdString());
    prompts().answer(1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(checkProgramHome(home));
    const QString printed = QString::fromLocal8Bit(testing::internal::GetCapturedStderr().c_str());

    ASSERT_EQ(prompts().messages().size(), 1);
    const auto& shown = prompts().last();
    EXPECT_EQ(shown.kind, int(Qd::Core::Ui::MsgKind::Error));
    // It names the folder, says what is wrong and what to do.
    for (const QString& part :
         {QStringLiteral("“%1”").arg(QDir::toNativeSeparators(home)), QStringLiteral("无法启动"),
          QStringLiteral("请"), QStringLiteral("QD_HOME")})
        EXPECT_TRUE(shown.text.contains(part)) << shown.text.toStdString();
    EXPECT_EQ(printed.trimmed(), shown.text);
}

}  // namespace
