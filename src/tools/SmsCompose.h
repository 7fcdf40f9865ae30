#pragma once

#include <QMap>
#include <QString>
#include <optional>
#include <vector>

namespace Qd::Core::Tools {

// One element of a template's parameter list (qd_sys_alidayu.tplparams): the key of its value
// in the value map, the placeholder name in the text (and the gateway's parameter name), and
// the row caption of the bulk dialog.
struct TplParam {
    QString key;
    QString param;
    QString desc;
};
using TplParams = std::vector<TplParam>;
// Values by key; a key that is present counts as given, also with an empty value.
using SmsValues = QMap<QString, QString>;

// The parameter list of a template; nullopt, with `fault` saying why, when the text is not a
// JSON array of objects with a text "key" and "param", each key once.
std::optional<TplParams> parseTplParams(const QString& json, QString* fault);

// The number of messages a text of `length` UTF-16 units makes: up to 70 one, longer ones
// ceil(length / 67); an empty text one.
int calccount(int length);
// The message: the text with every "${param}" of the elements whose key the map holds
// replaced by its value (as literal text, in list order), others kept, after "【业务提醒】".
QString generateSMS(const QString& tpltxt, const TplParams& params, const SmsValues& values);
// Which elements the gateway parameters take: only those with a value (single dialog), or
// all of them, "" for a missing value (bulk dialog).
enum class MissingValues { LeaveOut, SendEmpty };
// The gateway parameters: a JSON object of param -> value.
QString generateSMSParams(const TplParams& params, const SmsValues& values, MissingValues missing);
// The counter label for a text: "当前短信共%d字，预计将发送%d条短信".
QString smsCounterText(const QString& text);

// The value keys filled from the system settings, with their setting: "company_name" ->
// "company", "company_tel" -> "tel", "company_addr" -> "addr".
struct CompanyValue {
    const char* key;
    const char* setting;
};
inline constexpr CompanyValue kCompanyValues[] = {
    {"company_name", "company"}, {"company_tel", "tel"}, {"company_addr", "addr"}};
// The configured value of a company key; nullopt for any other key.
std::optional<QString> companyValue(const QString& key);

}  // namespace Qd::Core::Tools
