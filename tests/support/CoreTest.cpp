#include "support/CoreTest.h"

#include "db/Schema.h"

namespace Qd::Test {

void CoreTest::SetUp() {
    DbTest::SetUp();
    ASSERT_TRUE(Core::Db::ensureFrameworkSchema(db()));
    db().exec(
        QStringLiteral("insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD05', N'五号店')\n"
                       "insert into qd_b_ckbmk(orgid, code, name) values(1, 'MD06', N'六号店')\n"
                       "update qd_b_ckbmk set id = id + 4\n"
                       "insert into qd_b_ygbmk(orgid, code, name) values(1, 'Y01', N'王经理')\n"
                       "update qd_b_ygbmk set id = 11\n"
                       "insert into qd_sys_users(orgid, code, name, yg_id, datascope) values(1, "
                       "'1001', N'王经理', 11, 2)\n"
                       "insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 11, 5)\n"
                       "insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 11, 6)"));
    sys = std::make_unique<Core::Sys::SystemServices>(db());
    Core::Sys::setSystemServices(sys.get());
    sys->setPassword(1, QStringLiteral("123456"));
}

void LoggedInTest::SetUp() {
    CoreTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(login(QStringLiteral("1001"), 5));
}

void CoreTest::TearDown() {
    Core::Sys::setSystemServices(nullptr);
    sys.reset();
    DbTest::TearDown();
}

void CoreTest::login(const QString& user, qint32 store) {
    const Core::Sys::LoginResult r = sys->login(user, QStringLiteral("123456"), store);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
}

void CoreTest::grant(qint32 employee, const QString& right) {
    ASSERT_TRUE(db().execSQL(
        QStringLiteral("insert into qd_sys_userrights(orgid, userid, rightcode) values(1, :u, :r)"),
        {{QStringLiteral("u"), employee}, {QStringLiteral("r"), right}}));
}

QString CoreTest::scalar(const QString& sql) {
    Core::Db::DataPacket rows = db().query(sql);
    if (rows.isEmpty())
        return QString();
    QStringList cells;
    for (int f = 0; f < rows.fieldCount(); ++f)
        cells << rows.field(f).asString();
    return cells.join(QStringLiteral(" | "));
}

}  // namespace Qd::Test
