// Composing a text message from a template: shared by both SMS dialogs.
#include "tools/SmsCompose.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include "sys/SystemServices.h"

namespace Qd::Core::Tools {

std::optional<TplParams> parseTplParams(const QString& json, QString* fault) {
    const auto fail = [fault](const QString& why) {
        if (fault)
            *fault = why;
        return std::nullopt;
    };
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return fail(QStringLiteral("参数列表不是JSON数组"));
    TplParams out;
    QSet<QString> keys;
    const QJsonArray array = doc.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonObject o = array.at(i).toObject();
        const QJsonValue key = o.value(QStringLiteral("key"));
        const QJsonValue param = o.value(QStringLiteral("param"));
        if (!key.isString() || key.toString().isEmpty() || !param.isString() ||
            param.toString().isEmpty())
            return fail(QStringLiteral("第%1个参数缺少key或param").arg(i + 1));
        if (keys.contains(key.toString()))
            return fail(QStringLiteral("参数key“%1”重复").arg(key.toString()));
        keys.insert(key.toString());
        out.push_back(
            {key.toString(), param.toString(), o.value(QStringLiteral("desc")).toString()});
    }
    return out;
}

int calccount(int length) {
    return length <= 70 ? 1 : (length + 66) / 67;
}

// One pass over the template: a value is never searched for placeholders itself, so a value
// holding "${x}" stays as typed. Where two elements name the same placeholder the first in the
// list wins, as it would replace every occurrence first.
QString generateSMS(const QString& tpltxt, const TplParams& params, const SmsValues& values) {
    QHash<QString, QString> byParam;
    for (const TplParam& p : params)
        if (const auto value = values.constFind(p.key);
            value != values.cend() && !byParam.contains(p.param))
            byParam.insert(p.param, *value);
    QString text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = tpltxt.indexOf(QLatin1String("${"), from);
        const qsizetype close = open < 0 ? -1 : tpltxt.indexOf(QLatin1Char('}'), open + 2);
        if (close < 0)
            break;
        const auto value = byParam.constFind(tpltxt.mid(open + 2, close - open - 2));
        if (value == byParam.cend()) {
            text += QStringView(tpltxt).mid(from, open + 2 - from);
            from = open + 2;
            continue;
        }
        text += QStringView(tpltxt).mid(from, open - from);
        text += *value;
        from = close + 1;
    }
    text += QStringView(tpltxt).mid(from);
    return QStringLiteral("【业务提醒】") + text;
}

QString generateSMSParams(const TplParams& params, const SmsValues& values, MissingValues missing) {
    QJsonObject out;
    for (const TplParam& p : params) {
        const auto value = values.constFind(p.key);
        if (value != values.cend())
            out.insert(p.param, *value);
        else if (missing == MissingValues::SendEmpty)
            out.insert(p.param, QString());
    }
    return QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Compact));
}

QString smsCounterText(const QString& text) {
    const int length = int(text.size());
    return QStringLiteral("当前短信共%1字，预计将发送%2条短信").arg(length).arg(calccount(length));
}

std::optional<QString> companyValue(const QString& key) {
    for (const CompanyValue& c : kCompanyValues)
        if (key == QLatin1String(c.key))
            return Sys::SysConfigCache().get(QLatin1String(c.setting));
    return std::nullopt;
}

}  // namespace Qd::Core::Tools
