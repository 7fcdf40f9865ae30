// The client program. For now it opens the embedded demo database (creating it from the demo
// seed on first start) and lists the demo customers in a grid over the shared record-set model.
//
//   qdclient [--db FILE] [--screenshot FILE.png] [--trace]
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "db/RecordSetModel.h"
#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "db/Trace.h"
#include "sys/ProgramHome.h"

using namespace Qd::Core;

namespace {

QString readResource(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Db::DbError(QStringLiteral("缺少资源 %1").arg(path));
    return QString::fromUtf8(f.readAll());
}

// A new database gets the framework's tables and the demo organisation.
void seedIfNew(Db::SqliteDataServices& db) {
    if (Db::ensureFrameworkSchema(db))
        db.exec(readResource(QStringLiteral(":/demo/seed.sql")));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qdclient"));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("多门店业务客户端"));
    cli.addHelpOption();
    const QCommandLineOption dbOpt(QStringLiteral("db"), QStringLiteral("数据库文件"),
                                   QStringLiteral("file"));
    const QCommandLineOption shotOpt(QStringLiteral("screenshot"),
                                     QStringLiteral("启动后把主窗口保存为 PNG 并退出"),
                                     QStringLiteral("png"));
    const QCommandLineOption traceOpt(QStringLiteral("trace"),
                                      QStringLiteral("诊断日志同时输出到 stderr"));
    cli.addOptions({dbOpt, shotOpt, traceOpt});
    cli.process(app);

    Db::setTraceToStderr(cli.isSet(traceOpt));
    const QString dbPath =
        cli.isSet(dbOpt) ? cli.value(dbOpt) : Sys::programPath(QStringLiteral("demo.db"));
    std::unique_ptr<Db::SqliteDataServices> db;
    try {
        db = std::make_unique<Db::SqliteDataServices>(dbPath);
        seedIfNew(*db);
    } catch (const Db::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    Db::setDataServices(db.get());

    Db::RecordSet cdsMain;
    Db::dataServices().openDataToCDS(
        cdsMain,
        QStringLiteral("select code, name, mobile, addr, credit, createdate "
                       "from qd_b_khbmk where orgid=:orgid and isdel=0 order by code"),
        {{QStringLiteral("orgid"), 1}});
    const QStringList labels = {"编号", "名称", "手机", "地址", "信用额度", "建档时间"};
    for (int i = 0; i < labels.size() && i < cdsMain.fieldCount(); ++i)
        cdsMain.fieldDef(i).displayLabel = labels[i];

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("客户资料 - %1").arg(QFileInfo(dbPath).fileName()));
    Db::RecordSetModel model(&cdsMain);
    auto* view = new QTableView;
    view->setModel(&model);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->setDefaultSectionSize(24);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setColumnWidth(3, 220);
    view->setColumnWidth(4, 100);
    window.setCentralWidget(view);
    window.statusBar()->showMessage(QStringLiteral("当前记录数：%1").arg(cdsMain.recordCount()));
    window.resize(900, 560);
    window.show();

    if (cli.isSet(shotOpt)) {
        QTimer::singleShot(200, &window, [&] {
            const bool ok = window.grab().save(cli.value(shotOpt));
            QApplication::exit(ok ? 0 : 1);
        });
    }
    const int rc = QApplication::exec();
    Db::setDataServices(nullptr);
    return rc;
}
