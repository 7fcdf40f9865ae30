#include "ClientHome.h"

#include <QDir>

#include "ClientStart.h"
#include "base/ProgramHome.h"
#include "db/DataServices.h"

namespace Qd::App {

bool checkProgramHome(const QString& home) {
    if (Core::Sys::canWriteIn(home))
        return true;
    const QString text = QStringLiteral(
                             "无法在程序数据文件夹“%1”中写入文件，程序无法启动。请让该文件夹允许"
                             "本程序写入，或用环境变量 QD_HOME 指定另一个文件夹。")
                             .arg(QDir::toNativeSeparators(home));
    printLine(stderr, text);
    Core::Db::MessageMyDlg(text, QStringLiteral("提示"), 1, Core::Ui::MsgButtons::Ok);
    return false;
}

}  // namespace Qd::App
