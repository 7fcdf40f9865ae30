// The tools against plain baselines of the same work, in one run. Each tool has its own
// section below; the ratios are declared together at the end.

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <functional>

#include "BenchDatabase.h"
#include "BenchMain.h"
#include "db/Schema.h"
#include "support/SmsTestServer.h"
#include "sys/SmsGateway.h"
#include "sys/SystemServices.h"
#include "sys/uAlidayuUtils.h"

namespace {

using namespace Qd::Core;

// ---- SMS: deliverDue against raw posts of the same bodies -------------------------------------

constexpr int kSmsRows = 10000;

// A database whose outbox holds kSmsRows due messages, and the local server they go to.
struct SmsBench {
    Qd::Bench::BenchDatabase base;
    std::unique_ptr<Sys::SystemServices> sys;
    Qd::Test::SmsTestServer server;

    SmsBench() {
        Db::ensureFrameworkSchema(*base.db);
        sys = std::make_unique<Sys::SystemServices>(*base.db);
        Sys::setSystemServices(sys.get());
        Db::setDataServices(base.db.get());
        server.setRecording(false);
        base.db->execSQL(QStringLiteral(
            "insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(0, 'sms.gateway', 'http')"));
        base.db->execSQL(QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) "
                                        "values(0, 'sms.url', :u)"),
                         {{QStringLiteral("u"), server.url()}});
        base.db->execSQL(
            QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(0, "
                           "'sms.appkey', :secret)"),
            {{QStringLiteral("secret"), QString::fromLatin1(server.appKey())}});
        base.db->execSQL(
            QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(0, "
                           "'sms.secret', :secret)"),
            {{QStringLiteral("secret"), QString::fromLatin1(server.secret())}});
        base.db->execSQL(QStringLiteral(
            "declare @i int = 0\n"
            "while @i < 10000\n"
            "begin\n"
            "  insert into qd_sys_smsoutbox(orgid, msgid, mobiles, tplcode, params, status, "
            "nexttry) values(0, 'M' + cast(@i as varchar(10)), '139' + right('0000000' + cast(@i "
            "as "
            "varchar(10)), 8), 'SMS_9901', N'{\"content\":\"周末店庆八折\"}', 0, '2000-01-01')\n"
            "  set @i = @i + 1\n"
            "end"));
    }
    ~SmsBench() {
        Db::setDataServices(nullptr);
        Sys::setSystemServices(nullptr);
    }
    void makeDue() {
        base.db->execSQL(
            QStringLiteral("update qd_sys_smsoutbox set status = 0, tries = 0, "
                           "nexttry = '2000-01-01', claimtoken = null"));
    }
};

SmsBench& smsBench() {
    static SmsBench bench;
    return bench;
}

void BM_SmsDeliverDue(benchmark::State& state) {
    SmsBench& b = smsBench();
    for (auto _ : state) {
        state.PauseTiming();
        b.makeDue();
        const int before = b.server.count();
        state.ResumeTiming();
        QEventLoop loop;
        int accepted = 0;
        Sys::TAlidayuUtils(*b.base.db).deliverDue([&](int n) {
            accepted = n;
            loop.quit();
        });
        loop.exec();
        if (accepted != kSmsRows || b.server.count() - before != kSmsRows)
            state.SkipWithError("not every row was delivered");
    }
}

// The same bodies and headers posted straight through Qt's network manager, six at a time (the
// manager's connections per host, and deliverDue's window): posting all 10^4 at once would
// measure the manager's queue, not the posts.
void BM_SmsRawPosts(benchmark::State& state) {
    SmsBench& b = smsBench();
    std::vector<QByteArray> bodies;
    for (int i = 0; i < kSmsRows; ++i)
        bodies.push_back(Sys::smsRequestBody(
            {QStringLiteral("M%1").arg(i), QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')),
             QStringLiteral("SMS_9901"), QStringLiteral(R"json({"content":"周末店庆八折"})json"),
             QDateTime::currentDateTime()}));
    QNetworkAccessManager nam;
    nam.setAutoDeleteReplies(true);
    constexpr int kWindow = 6;
    for (auto _ : state) {
        QEventLoop loop;
        size_t next = 0;
        int open = 0;
        std::function<void()> post = [&] {
            while (open < kWindow && next < bodies.size()) {
                const QByteArray& body = bodies[next++];
                QNetworkRequest request{QUrl(b.server.url())};
                request.setHeader(QNetworkRequest::ContentTypeHeader,
                                  QByteArrayLiteral("application/json"));
                request.setRawHeader(QByteArrayLiteral("X-Qd-Key"), b.server.appKey());
                request.setRawHeader(
                    QByteArrayLiteral("X-Qd-Signature"),
                    Sys::smsSignature(body, QString::fromLatin1(b.server.secret())));
                QNetworkReply* reply = nam.post(request, body);
                ++open;
                QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
                    reply->readAll();
                    --open;
                    if (next < bodies.size())
                        post();
                    else if (open == 0)
                        loop.quit();
                });
            }
        };
        post();
        loop.exec();
    }
}

BENCHMARK(BM_SmsRawPosts)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_SmsDeliverDue)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    return Qd::Bench::runWithRatios(argc, argv, {{"BM_SmsDeliverDue", "BM_SmsRawPosts", 1.3}});
}
