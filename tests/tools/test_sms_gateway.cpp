// The SMS outbox and its http gateway against a local server: outcomes, retries on a pinned
// clock, the claim between two clients, and what the trace may hold.
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTest>

#include "db/Schema.h"
#include "db/SqliteDataServices.h"
#include "support/CoreTest.h"
#include "support/SmsTestServer.h"
#include "sys/SmsGateway.h"
#include "sys/uAlidayuUtils.h"

namespace {

using namespace Qd::Core;
using Qd::Test::SmsTestServer;

const QString kMobile = QStringLiteral("13912345678");
const QString kParams = QStringLiteral(R"json({"name":"张三"})json");

class SmsGatewayTest : public Qd::Test::LoggedInTest {
protected:
    void SetUp() override {
        LoggedInTest::SetUp();
        m_now = QDateTime(QDate(2026, 3, 2), QTime(9, 0));
        Sys::setSmsClock([this] { return m_now; });
        configure({{"sms.gateway", "http"},
                   {"sms.url", server.url()},
                   {"sms.appkey", "demo-key"},
                   {"sms.secret", "demo-secret"},
                   {"sms.timeout", "2"}});
    }
    void TearDown() override {
        Sys::setSmsClock({});
        LoggedInTest::TearDown();
    }

    void configure(const std::vector<std::pair<const char*, QString>>& settings) {
        for (const auto& [key, value] : settings) {
            db().execSQL(QStringLiteral("delete from qd_sys_config where cfgkey = :k"),
                         {{QStringLiteral("k"), QString::fromLatin1(key)}});
            // Bound as a secret, so that writing the settings leaves the trace clean too.
            db().execSQL(QStringLiteral("insert into qd_sys_config(orgid, cfgkey, cfgvalue) "
                                        "values(1, :k, :secret)"),
                         {{QStringLiteral("k"), QString::fromLatin1(key)},
                          {QStringLiteral("secret"), value}});
        }
        sys->config().clear();
    }

    bool send(const QString& mobiles = kMobile, const QString& params = kParams) {
        Sys::TAlidayuUtils utils(db());
        const bool ok = utils.send(mobiles, QStringLiteral("SMS_0001"), params);
        lastError = utils.error();
        return ok;
    }

    // Runs deliverDue on `services` to its end; the number accepted.
    static int deliver(Db::IDataServices& services) {
        int accepted = -1;
        Sys::TAlidayuUtils(services).deliverDue([&](int n) { accepted = n; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return accepted >= 0; }, 10000));
        return accepted;
    }

    // Each outbox row as "status tries error".
    QStringList outbox() {
        QStringList out;
        Db::DataPacket rows = db().query(QStringLiteral(
            "select status, tries, isnull(error, '') from qd_sys_smsoutbox order by id"));
        for (rows.first(); !rows.eof(); rows.next())
            out << QStringLiteral("%1 %2 %3")
                       .arg(rows.field(0).asString(), rows.field(1).asString(),
                            rows.field(2).asString())
                       .trimmed();
        return out;
    }

    QDateTime nextTry() {
        Db::DataPacket rows = db().query(QStringLiteral("select nexttry from qd_sys_smsoutbox"));
        return rows.field(0).asDateTime();
    }

    int distinctMsgids() const {
        const QStringList ids = server.msgids();
        return int(QSet<QString>(ids.begin(), ids.end()).size());
    }

    SmsTestServer server;
    QDateTime m_now;
    QString lastError;
};

TEST_F(SmsGatewayTest, AcceptedMessageIsSignedAsTheDocsSayAndMarkedSent) {
    ASSERT_TRUE(send());
    ASSERT_EQ(server.requests().size(), 1u);
    const SmsTestServer::Request& r = server.requests().front();
    EXPECT_TRUE(r.signatureOk);
    EXPECT_TRUE(r.keyOk);
    EXPECT_EQ(r.headers.value("content-type"), "application/json");
    const QJsonObject body = QJsonDocument::fromJson(r.body).object();
    EXPECT_EQ(body.value("mobiles").toString(), kMobile);
    EXPECT_EQ(body.value("template").toString(), "SMS_0001");
    EXPECT_EQ(body.value("params").toObject().value("name").toString(), QStringLiteral("张三"));
    EXPECT_EQ(body.value("timestamp").toInteger(), m_now.toSecsSinceEpoch());
    EXPECT_EQ(body.value("msgid").toString(), scalar("select msgid from qd_sys_smsoutbox"));
    EXPECT_EQ(outbox(), QStringList{"2 1"});
    EXPECT_EQ(scalar("select sendtime from qd_sys_smsoutbox").left(16), "2026-03-02 09:00");

    // The worked example of docs/sms.md, byte for byte.
    Sys::SmsMessage example{QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"),
                            QStringLiteral("13912345678,13887654321"), QStringLiteral("SMS_0099"),
                            QStringLiteral(R"json({"content":"周末店庆八折"})json"),
                            QDateTime::fromSecsSinceEpoch(1772413200)};
    const QByteArray exampleBody = Sys::smsRequestBody(example);
    EXPECT_EQ(
        exampleBody,
        QStringLiteral(
            R"json({"mobiles":"13912345678,13887654321","msgid":"6F9619FF-8B86-D011-B42D-00C04FC964FF","params":{"content":"周末店庆八折"},"template":"SMS_0099","timestamp":1772413200})json")
            .toUtf8());
    EXPECT_EQ(Sys::smsSignature(exampleBody, QStringLiteral("demo-secret")),
              QByteArray("5fb2162f79caab1d5bca41291730ab355f81ed4514e06fed9c9d0160a9cc9bcd"));
}

TEST_F(SmsGatewayTest, RepliesDecideBetweenSentRetryAndFailed) {
    struct Case {
        const char* name;
        SmsTestServer::Reply reply;
        bool accepted;
        QString row;
    };
    const Case cases[] = {
        {"code 0", {200, "{\"code\":0}"}, true, "2 1"},
        {"refused 400", {400, "{}"}, false, "3 1 HTTP 400"},
        {"code not 0",
         {200, R"({"code":15,"message":"签名错误"})"},
         false,
         QStringLiteral("3 1 网关拒绝：code=15 签名错误")},
        {"unreadable", {200, "OK"}, false, QStringLiteral("3 1 网关回复无法识别")},
        {"no code", {200, "{\"ok\":true}"}, false, QStringLiteral("3 1 网关回复无法识别")},
        {"busy 503", {503, ""}, false, "0 1 HTTP 503"},
        {"throttled 429", {429, ""}, false, "0 1 HTTP 429"},
        {"timeout 408", {408, ""}, false, "0 1 HTTP 408"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db().execSQL(QStringLiteral("delete from qd_sys_smsoutbox"));
        server.script(c.reply);
        EXPECT_EQ(send(QStringLiteral("1391234%1").arg(++n, 4, 10, QLatin1Char('0'))), c.accepted);
        EXPECT_EQ(outbox(), QStringList{c.row});
        EXPECT_EQ(lastError.isEmpty(), c.accepted);
    }
    EXPECT_EQ(server.count(), n);
    // The trace never holds the secret, the demo gateway's lines neither.
    configure({{"sms.gateway", "log"}});
    EXPECT_TRUE(send(QStringLiteral("13900000003")));
    EXPECT_TRUE(traced().contains(QStringLiteral("13900000003")));
    EXPECT_FALSE(traced().contains(QStringLiteral("demo-secret")));
}

TEST_F(SmsGatewayTest, TransportFaultsKeepTheRowWaiting) {
    // A dropped connection, a gateway slower than the timeout, a port where nothing listens.
    server.fallback().drop = true;  // also the network layer's own second attempt
    EXPECT_FALSE(send(QStringLiteral("13900000001")));
    server.fallback().drop = false;

    configure({{"sms.timeout", "0.3"}});
    server.script({200, "{\"code\":0}", 3000});
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(send(QStringLiteral("13900000002")));
    EXPECT_LT(clock.elapsed(), 2500);

    configure({{"sms.url", SmsTestServer::refusingUrl()}});
    EXPECT_FALSE(send(QStringLiteral("13900000003")));
    const QStringList rows = outbox();
    ASSERT_EQ(rows.size(), 3);
    for (const QString& row : rows)
        EXPECT_TRUE(row.startsWith("0 1 ")) << row.toStdString();  // waiting, one try, a reason
    EXPECT_EQ(rows[1], QStringLiteral("0 1 网关超时"));
    EXPECT_EQ(nextTry(), m_now.addSecs(60));
}

TEST_F(SmsGatewayTest, RetriesFollowTheBackOffThenGiveUp) {
    server.fallback() = {503, ""};
    const QDateTime start = m_now;
    ASSERT_FALSE(send());
    int minutes = 0;
    int tries = 1;
    for (int wait : {1, 2, 4, 8, 16}) {
        SCOPED_TRACE(wait);
        EXPECT_EQ(nextTry(), start.addSecs(60 * (minutes + wait)));
        m_now = start.addSecs(60 * (minutes + wait) - 1);  // a second early: not due
        EXPECT_EQ(deliver(db()), 0);
        EXPECT_EQ(server.count(), tries);
        minutes += wait;
        m_now = start.addSecs(60 * minutes);
        EXPECT_EQ(deliver(db()), 0);
        EXPECT_EQ(server.count(), ++tries);
    }
    EXPECT_EQ(server.count(), 6);
    EXPECT_EQ(outbox(), QStringList{QStringLiteral("3 6 HTTP 503（已重试5次）")});
    m_now = m_now.addDays(1);
    deliver(db());
    EXPECT_EQ(server.count(), 6);    // given up: never sent again
    EXPECT_EQ(distinctMsgids(), 1);  // every try under the row's one msgid
}

TEST_F(SmsGatewayTest, SendingTheSameMessageAgainRetriesItsWaitingRow) {
    server.script({503, ""}, 2);
    EXPECT_FALSE(send());
    EXPECT_FALSE(send());
    EXPECT_TRUE(send());
    EXPECT_EQ(outbox(), QStringList{"2 3"});
    EXPECT_EQ(distinctMsgids(), 1);
    // Sent already: the same text again is a new message; other parameters are one too.
    EXPECT_TRUE(send());
    EXPECT_TRUE(send(kMobile, QStringLiteral(R"json({"name":"李四"})json")));
    EXPECT_EQ(outbox(), (QStringList{"2 3", "2 1", "2 1"}));
}

TEST_F(SmsGatewayTest, TwoClientsOnOneFileSendEachRowOnce) {
    configure({{"sms.gateway", "log"}});
    for (int i = 0; i < 40; ++i)
        db().execSQL(QStringLiteral("insert into qd_sys_smsoutbox(orgid, msgid, mobiles, tplcode, "
                                    "params, status, nexttry) values(1, :m, '13900000000', "
                                    "'SMS_0001', '{}', 0, '2026-03-02 08:00:00')"),
                     {{QStringLiteral("m"), QStringLiteral("M%1").arg(i)}});
    // A claim left 11 minutes ago by a client that stopped is taken over; one of 5 minutes is not.
    db().execSQL(
        QStringLiteral("update qd_sys_smsoutbox set status = 1, claimedat = "
                       "'2026-03-02 08:49:00' where msgid = 'M0'"));
    db().execSQL(
        QStringLiteral("update qd_sys_smsoutbox set status = 1, claimedat = "
                       "'2026-03-02 08:55:00' where msgid = 'M1'"));
    configure({{"sms.gateway", "http"}});
    server.fallback().delayMs = 5;

    Db::SqliteDataServices other(dbPath());
    int first = -1;
    int second = -1;
    Sys::TAlidayuUtils(db()).deliverDue([&](int n) { first = n; });
    Sys::TAlidayuUtils(other).deliverDue([&](int n) { second = n; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return first >= 0 && second >= 0; }, 10000));

    EXPECT_EQ(first + second, 39);
    EXPECT_EQ(server.count(), 39);
    EXPECT_EQ(distinctMsgids(), 39);
    EXPECT_FALSE(server.msgids().contains("M1"));
    EXPECT_EQ(scalar("select count(*) from qd_sys_smsoutbox where status = 2"), "39");
    EXPECT_EQ(scalar("select status from qd_sys_smsoutbox where msgid = 'M1'"), "1");
}

TEST_F(SmsGatewayTest, BadNumbersAreNamedAndNothingIsWritten) {
    const std::pair<QString, QString> cases[] = {
        {"", QStringLiteral("请输入手机号码")},
        {"1391234567", QStringLiteral("手机号码“1391234567”不是11位数字")},
        {"1391234567a", QStringLiteral("手机号码“1391234567a”不是11位数字")},
        {"13912345678, 13887654321", QStringLiteral("手机号码“ 13887654321”不是11位数字")},
        {"13912345678,", QStringLiteral("第2个手机号码为空")},
        {QStringLiteral("13912345678，13887654321"),
         QStringLiteral("手机号码“13912345678，13887654321”请以英文逗号分割")},
    };
    for (const auto& [mobiles, message] : cases) {
        prompts().answer(Ui::mrOk);
        EXPECT_FALSE(send(mobiles));
        EXPECT_EQ(prompts().last().text, message);
        EXPECT_EQ(lastError, message);
    }
    EXPECT_TRUE(outbox().isEmpty());
    EXPECT_EQ(server.count(), 0);
    EXPECT_TRUE(send(QStringLiteral("13912345678,13887654321")));
}

TEST_F(SmsGatewayTest, MissingSettingsKeepTheRowWaitingAndNameTheSetting) {
    configure({{"sms.url", ""}});
    EXPECT_FALSE(send());
    EXPECT_EQ(outbox(), QStringList{QStringLiteral("0 0 短信网关设置“sms.url”缺失或无效")});
    configure({{"sms.gateway", "smtp"}});
    EXPECT_EQ(deliver(db()), 0);
    EXPECT_TRUE(traced().contains(QStringLiteral("“sms.gateway”缺失或无效")));
    EXPECT_EQ(server.count(), 0);
    // Once set, the waiting row goes out with the next run.
    configure({{"sms.gateway", "http"}, {"sms.url", server.url()}});
    EXPECT_EQ(deliver(db()), 1);
    EXPECT_EQ(outbox(), QStringList{"2 1"});
}

TEST_F(SmsGatewayTest, ADatabaseMadeBeforeTheOutboxGetsIt) {
    db().exec(QStringLiteral("drop table qd_sys_smsoutbox"));
    EXPECT_FALSE(Db::ensureFrameworkSchema(db()));  // not made anew: completed
    EXPECT_TRUE(send());
    EXPECT_EQ(outbox(), QStringList{"2 1"});
}

}  // namespace
