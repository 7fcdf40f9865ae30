// Evaluation of the expression language, text templates, value formatting and the amounts in
// Chinese capital numerals.
#include "print/engine/Expression.h"

#include <QDateTime>
#include <QRegularExpression>
#include <atomic>
#include <charconv>
#include <cmath>
#include <functional>
#include <unordered_map>

#include "print/engine/ExpressionTree.h"

namespace Qd::Print {

using Internal::AggregateKind;
using Internal::Node;
using Internal::NodePtr;
using Internal::Op;

ExpressionError::ExpressionError(const QString& message, const QString& expression, int position)
    : std::runtime_error(QStringLiteral("表达式 %1 第 %2 个字符附近：%3")
                             .arg(expression)
                             .arg(position + 1)
                             .arg(message)
                             .toStdString()),
      m_message(message),
      m_expression(expression),
      m_position(position) {}

namespace {
quint64 nextContextSerial() {
    static std::atomic<quint64> last{0};
    return ++last;
}
}  // namespace

IExpressionContext::IExpressionContext() : m_serial(nextContextSerial()) {}
IExpressionContext::IExpressionContext(const IExpressionContext&) : m_serial(nextContextSerial()) {}

int IExpressionContext::fieldSlot(const QString&, const QString&) const {
    return -1;
}

QVariant IExpressionContext::fieldAt(int) const {
    return {};
}

namespace {

// The value kinds the language computes with; fields and variables are brought to these.
enum class Kind { Null, Bool, Int, Double, Text, DateTime, Time };

QVariant normalized(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::LongLong:
        case QMetaType::Double:
        case QMetaType::QString:
        case QMetaType::QDateTime:
        case QMetaType::QTime:
            return v;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return v.toLongLong();
        case QMetaType::Float:
            return v.toDouble();
        case QMetaType::QDate:
            return QDateTime(v.toDate(), QTime(0, 0));
        default:
            return v.toString();
    }
}

// Only for normalized values.
Kind kindOf(const QVariant& v) {
    if (!v.isValid())
        return Kind::Null;
    switch (v.typeId()) {
        case QMetaType::Bool:
            return Kind::Bool;
        case QMetaType::LongLong:
            return Kind::Int;
        case QMetaType::Double:
            return Kind::Double;
        case QMetaType::QDateTime:
            return Kind::DateTime;
        case QMetaType::QTime:
            return Kind::Time;
        default:
            return Kind::Text;
    }
}

bool isNumber(Kind k) {
    return k == Kind::Int || k == Kind::Double;
}

// Shortest text that reads back as the same double; whole values without decimals.
QString doubleText(double d) {
    if (std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 1e15)
        return QString::number(qint64(d));
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString plainText(const QVariant& raw) {
    const QVariant v = normalized(raw);
    switch (kindOf(v)) {
        case Kind::Null:
            return {};
        case Kind::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case Kind::Int:
            return QString::number(v.toLongLong());
        case Kind::Double:
            return doubleText(v.toDouble());
        case Kind::Text:
            return v.toString();
        case Kind::DateTime: {
            const QDateTime dt = v.toDateTime();
            return dt.toString(dt.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd")
                                                        : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        }
        case Kind::Time:
            return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    }
    return {};
}

// A number read from text, or an invalid variant when the text is not one.
QVariant numberFromText(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 whole = t.toLongLong(&ok);
    if (ok)
        return whole;
    const double d = t.toDouble(&ok);
    return ok ? QVariant(d) : QVariant();
}

// Half away from zero at `places` decimals. The scaled value is first read back from 15
// significant digits so that 1.005 rounds as written, not as its binary neighbour 1.00499...
double roundHalfAway(double x, int places) {
    const double scale = std::pow(10.0, places);
    double scaled = x * scale;
    if (std::isfinite(scaled)) {
        char buffer[32];
        const auto written =
            std::to_chars(buffer, buffer + sizeof buffer, scaled, std::chars_format::general, 15);
        std::from_chars(buffer, written.ptr, scaled);
    }
    return std::round(scaled) / scale;
}

// Fixed-point text of |x| rounded half away from zero to `decimals`.
QString fixedDigits(double x, int decimals) {
    const double v = std::abs(roundHalfAway(x, decimals));
    // Within this range the text fits the buffer; to_chars is exact like QString::number.
    if (!std::isfinite(v) || v >= 1e21 || decimals > 40)
        return QString::number(v, 'f', decimals);
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buffer, written.ptr - buffer);
}

bool hasNonZeroDigit(const QString& digits) {
    return std::any_of(digits.begin(), digits.end(),
                       [](QChar c) { return c >= u'1' && c <= u'9'; });
}

QString groupThousands(QStringView digits) {
    QString out;
    const int n = int(digits.size());
    out.reserve(n + n / 3);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += u',';
        out += digits[i];
    }
    return out;
}

// A number display format as read once: printf-like ("%10.2n", "%d") or a picture, text around
// a run of # 0 , and . ("¥#,##0.00元"); a format that is neither prints as it stands.
struct NumberFormat {
    enum class Style { Printf, Picture, Text };
    Style style = Style::Text;
    bool grouped = false;  // thousands separated
    // Printf
    int width = 0;
    int decimals = 0;
    // Picture
    QString prefix, suffix;
    int minWhole = 0, minDecimals = 0, maxDecimals = 0;

    static NumberFormat read(const QString& format) {
        static const QRegularExpression printfStyle(
            QStringLiteral("^%(\\d*)(?:\\.(\\d+))?([dfn])$"),
            QRegularExpression::CaseInsensitiveOption);
        NumberFormat f;
        if (const auto m = printfStyle.match(format); m.hasMatch()) {
            const QChar conversion = m.captured(3).at(0).toLower();
            f.style = Style::Printf;
            f.width = m.captured(1).toInt();
            f.decimals =
                conversion == u'd' ? 0 : (m.captured(2).isEmpty() ? 2 : m.captured(2).toInt());
            f.grouped = conversion == u'n';
            return f;
        }
        static const QRegularExpression picture(QStringLiteral("[#0,.]+"));
        const auto m = picture.match(format);
        if (!m.hasMatch()) {
            f.prefix = format;
            return f;
        }
        const QString core = m.captured();
        const int dot = int(core.indexOf(u'.'));
        const QString wholePart = dot < 0 ? core : core.left(dot);
        const QString decimalPart = dot < 0 ? QString() : core.mid(dot + 1);
        f.style = Style::Picture;
        f.prefix = format.left(m.capturedStart());
        f.suffix = format.mid(m.capturedEnd());
        f.minWhole = int(wholePart.count(u'0'));
        f.minDecimals = int(decimalPart.count(u'0'));
        f.maxDecimals = f.minDecimals + int(decimalPart.count(u'#'));
        f.grouped = wholePart.contains(u',');
        return f;
    }

    // Read once per format text: a report formats every row with the same few.
    static const NumberFormat& of(const QString& format) {
        thread_local std::unordered_map<QString, NumberFormat> known;
        if (const auto it = known.find(format); it != known.end())
            return it->second;
        if (known.size() >= 256)
            known.clear();
        return known.emplace(format, read(format)).first->second;
    }

    QString apply(double x) const {
        switch (style) {
            case Style::Text:
                return prefix;
            case Style::Printf: {
                QString digits = fixedDigits(x, decimals);
                const bool negative = x < 0 && hasNonZeroDigit(digits);
                if (grouped) {
                    const int dot = int(digits.indexOf(u'.'));
                    const QStringView all(digits);
                    QString separated = groupThousands(dot < 0 ? all : all.left(dot));
                    if (dot >= 0)
                        separated += all.mid(dot);
                    digits = std::move(separated);
                }
                return (negative ? QStringLiteral("-") : QString()) +
                       digits.rightJustified(width - (negative ? 1 : 0), u' ');
            }
            case Style::Picture:
                break;
        }
        const QString digits = fixedDigits(x, maxDecimals);
        const int point = int(digits.indexOf(u'.'));
        QString whole = point < 0 ? digits : digits.left(point);
        QStringView decimals = point < 0 ? QStringView() : QStringView(digits).mid(point + 1);
        while (decimals.size() > minDecimals && decimals.endsWith(u'0'))
            decimals.chop(1);
        if (whole == QLatin1StringView("0") && minWhole == 0)
            whole.clear();
        whole = whole.rightJustified(minWhole, u'0');
        if (grouped)
            whole = groupThousands(whole);
        const bool negative = x < 0 && hasNonZeroDigit(digits);
        QString out;
        out.reserve(prefix.size() + whole.size() + decimals.size() + suffix.size() + 2);
        if (negative)
            out += u'-';
        out += prefix;
        out += whole;
        if (!decimals.isEmpty()) {
            out += u'.';
            out += decimals;
        }
        out += suffix;
        return out;
    }
};

QString formatNumber(const QString& format, double x) {
    return NumberFormat::of(format).apply(x);
}

// The engine's date letters: yyyy yy, m mm (month), d dd, h hh, n nn (minutes), s ss, zzz,
// in either case; text in quotes is copied as it is.
QString formatDate(const QString& format, const QDate& date, const QTime& time) {
    QString out;
    const int n = int(format.size());
    for (int i = 0; i < n;) {
        const QChar c = format[i];
        if (c == u'\'' || c == u'"') {
            int j = i + 1;
            while (j < n && format[j] != c)
                ++j;
            out += format.mid(i + 1, j - i - 1);
            i = j + 1;
            continue;
        }
        const QChar letter = c.toLower();
        int run = 1;
        while (i + run < n && format[i + run].toLower() == letter)
            ++run;
        auto number = [&](int value, int width) {
            out += QString::number(value).rightJustified(width, u'0');
        };
        switch (letter.unicode()) {
            case 'y':
                if (date.isValid())
                    run >= 3 ? number(date.year(), 4) : number(date.year() % 100, 2);
                break;
            case 'm':
                if (date.isValid())
                    number(date.month(), run >= 2 ? 2 : 1);
                break;
            case 'd':
                if (date.isValid())
                    number(date.day(), run >= 2 ? 2 : 1);
                break;
            case 'h':
                number(time.hour(), run >= 2 ? 2 : 1);
                break;
            case 'n':
                number(time.minute(), run >= 2 ? 2 : 1);
                break;
            case 's':
                number(time.second(), run >= 2 ? 2 : 1);
                break;
            case 'z':
                number(time.msec(), run >= 3 ? 3 : 1);
                break;
            default:
                out += format.mid(i, run);
                break;
        }
        i += run;
    }
    return out;
}

bool looksLikeNumberFormat(const QString& format) {
    return format.startsWith(u'%') || format.contains(u'0') || format.contains(u'#');
}

bool hasAggregate(const Node& node) {
    return node.kind == Node::Kind::Aggregate ||
           std::any_of(node.args.begin(), node.args.end(),
                       [](const NodePtr& arg) { return hasAggregate(*arg); });
}

class Evaluator {
public:
    Evaluator(IExpressionContext& context, const QString& text, QStringList variables = {})
        : m_context(context), m_text(text), m_variables(std::move(variables)) {}

    QVariant eval(const Node& node) {
        switch (node.kind) {
            case Node::Kind::Literal:
                return node.value;
            case Node::Kind::Field:
                return field(node);
            case Node::Kind::Variable:
                return variable(node);
            case Node::Kind::Special:
                return special(node);
            case Node::Kind::Unary:
                return unary(node);
            case Node::Kind::Binary:
                return binary(node);
            case Node::Kind::Call:
                return call(node);
            case Node::Kind::Aggregate:
                return aggregateValue(node);
        }
        return {};
    }

    void accumulate(Node& node) {
        if (node.kind != Node::Kind::Aggregate) {
            for (const auto& arg : node.args)
                accumulate(*arg);
            return;
        }
        if (node.args.empty()) {
            ++node.count;  // COUNT(): every row
            return;
        }
        const QVariant v = normalized(eval(*node.args.front()));
        if (kindOf(v) == Kind::Null)
            return;
        ++node.count;
        switch (node.aggregate) {
            case AggregateKind::Sum:
            case AggregateKind::Avg: {
                const QVariant n = toNumber(v, *node.args.front());
                node.total = node.total.isValid() ? arithmetic(Op::Add, node.total, n, node) : n;
                break;
            }
            case AggregateKind::Count:
                break;
            case AggregateKind::Min:
            case AggregateKind::Max: {
                if (!node.extreme.isValid()) {
                    node.extreme = v;
                    break;
                }
                const int c = compare(v, node.extreme, node);
                if ((node.aggregate == AggregateKind::Min) ? c < 0 : c > 0)
                    node.extreme = v;
                break;
            }
        }
    }

private:
    [[noreturn]] void fail(const Node& node, const QString& message) const {
        throw ExpressionError(message, m_text, node.position);
    }

    QVariant field(const Node& node) {
        if (node.slotOf != m_context.serial()) {
            node.slot = m_context.fieldSlot(node.name, node.field);
            node.slotOf = node.slot >= 0 ? m_context.serial() : 0;
        }
        if (node.slot >= 0)
            return normalized(m_context.fieldAt(node.slot));
        const auto v = m_context.field(node.name, node.field);
        if (!v)
            fail(node, QStringLiteral("没有字段 %1.\"%2\"").arg(node.name, node.field));
        return normalized(*v);
    }

    // A variable holds an expression; anything but text is taken as its value.
    QVariant variable(const Node& node) {
        const auto v = m_context.variable(node.name);
        if (!v)
            fail(node, QStringLiteral("没有变量 %1").arg(node.name));
        if (v->typeId() != QMetaType::QString)
            return normalized(*v);
        const QString text = v->toString();
        if (text.trimmed().isEmpty())
            return QString();
        if (m_variables.contains(node.name))
            fail(node, QStringLiteral("变量 %1 引用了自身").arg(node.name));
        try {
            const NodePtr tree = Internal::parseExpression(text);
            if (hasAggregate(*tree))
                throw ExpressionError(QStringLiteral("变量中不能使用合计函数"), text, 0);
            return Evaluator(m_context, text, m_variables + QStringList{node.name}).eval(*tree);
        } catch (const ExpressionError& e) {
            // Name the variable once, where its own expression failed.
            if (e.expression() != text)
                throw;
            throw ExpressionError(QStringLiteral("变量 %1：%2").arg(node.name, e.message()),
                                  e.expression(), e.position());
        }
    }

    QVariant special(const Node& node) {
        switch (node.special) {
            case Internal::Special::PageNumber:
                return qint64(m_context.pageNumber());
            case Internal::Special::TotalPages:
                return qint64(m_context.totalPages());
            case Internal::Special::LineNumber:
                return qint64(m_context.lineNumber());
            case Internal::Special::Date:
                return QDateTime(QDate::currentDate(), QTime(0, 0));
            case Internal::Special::Time:
                return QTime::currentTime();
        }
        return {};
    }

    QVariant toNumber(const QVariant& v, const Node& at) {
        switch (kindOf(v)) {
            case Kind::Null:
                return qint64(0);
            case Kind::Int:
            case Kind::Double:
                return v;
            case Kind::Text: {
                const QVariant n = numberFromText(v.toString());
                if (!n.isValid())
                    fail(at, QStringLiteral("'%1' 不是数值").arg(v.toString()));
                return n;
            }
            default:
                fail(at, QStringLiteral("%1 不是数值").arg(plainText(v)));
        }
    }

    double toDouble(const QVariant& v, const Node& at) { return toNumber(v, at).toDouble(); }

    qint64 toInteger(const QVariant& v, const Node& at) {
        const QVariant n = toNumber(v, at);
        if (kindOf(n) == Kind::Double) {
            const double d = n.toDouble();
            if (d != std::trunc(d) || std::abs(d) > 9e18)
                fail(at, QStringLiteral("%1 不是整数").arg(doubleText(d)));
            return qint64(d);
        }
        return n.toLongLong();
    }

    bool toBool(const QVariant& v, const Node& at) {
        switch (kindOf(v)) {
            case Kind::Null:
                return false;
            case Kind::Bool:
                return v.toBool();
            case Kind::Int:
            case Kind::Double:
                return v.toDouble() != 0;
            default:
                fail(at, QStringLiteral("%1 不是逻辑值").arg(plainText(v)));
        }
    }

    // Numbers compare as numbers (null as 0), text as text (null as empty), a number with a
    // text as numbers when the text is one; dates, times and logical values among themselves.
    int compare(const QVariant& a, const QVariant& b, const Node& at) {
        const Kind ka = kindOf(a), kb = kindOf(b);
        auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
        if (ka == Kind::Null && kb == Kind::Null)
            return 0;
        const bool numeric =
            (isNumber(ka) || ka == Kind::Null) && (isNumber(kb) || kb == Kind::Null);
        const bool mixed = (isNumber(ka) && kb == Kind::Text) || (ka == Kind::Text && isNumber(kb));
        if (numeric || (mixed && numberFromText((ka == Kind::Text ? a : b).toString()).isValid())) {
            const QVariant x = ka == Kind::Null ? QVariant(qint64(0)) : a;
            const QVariant y = kb == Kind::Null ? QVariant(qint64(0)) : b;
            const QVariant nx = kindOf(x) == Kind::Text ? numberFromText(x.toString()) : x;
            const QVariant ny = kindOf(y) == Kind::Text ? numberFromText(y.toString()) : y;
            if (kindOf(nx) == Kind::Int && kindOf(ny) == Kind::Int)
                return sign(nx.toLongLong(), ny.toLongLong());
            return sign(nx.toDouble(), ny.toDouble());
        }
        if (ka == Kind::Text || kb == Kind::Text || mixed)
            return sign(QString::compare(plainText(a), plainText(b)), 0);
        if (ka == Kind::Null || kb == Kind::Null)
            return ka == Kind::Null ? -1 : 1;
        if (ka == kb && ka == Kind::DateTime)
            return sign(a.toDateTime(), b.toDateTime());
        if (ka == kb && ka == Kind::Time)
            return sign(a.toTime(), b.toTime());
        if (ka == kb && ka == Kind::Bool)
            return sign(a.toBool(), b.toBool());
        fail(at, QStringLiteral("无法比较 %1 与 %2").arg(plainText(a), plainText(b)));
    }

    QVariant unary(const Node& node) {
        const QVariant v = normalized(eval(*node.args.front()));
        if (node.op == Op::Not)
            return !toBool(v, node);
        const QVariant n = toNumber(v, node);
        if (kindOf(n) == Kind::Int && n.toLongLong() != std::numeric_limits<qint64>::min())
            return -n.toLongLong();
        return -n.toDouble();
    }

    QVariant binary(const Node& node) {
        if (node.op == Op::And || node.op == Op::Or) {
            const bool left = toBool(normalized(eval(*node.args[0])), node);
            if (left == (node.op == Op::Or))
                return left;
            return toBool(normalized(eval(*node.args[1])), node);
        }
        const QVariant a = normalized(eval(*node.args[0]));
        const QVariant b = normalized(eval(*node.args[1]));
        switch (node.op) {
            case Op::Eq:
                return compare(a, b, node) == 0;
            case Op::Ne:
                return compare(a, b, node) != 0;
            case Op::Lt:
                return compare(a, b, node) < 0;
            case Op::Le:
                return compare(a, b, node) <= 0;
            case Op::Gt:
                return compare(a, b, node) > 0;
            case Op::Ge:
                return compare(a, b, node) >= 0;
            default:
                return arithmetic(node.op, a, b, node);
        }
    }

    QVariant arithmetic(Op op, const QVariant& a, const QVariant& b, const Node& at) {
        const Kind ka = kindOf(a), kb = kindOf(b);
        if (op == Op::Add && (ka == Kind::Text || kb == Kind::Text))
            return plainText(a) + plainText(b);
        // Dates move by days; the difference of two dates is in days.
        if (ka == Kind::DateTime && kb == Kind::DateTime && op == Op::Sub)
            return double(a.toDateTime().msecsTo(b.toDateTime())) / -86400000.0;
        if (ka == Kind::DateTime && (op == Op::Add || op == Op::Sub) && kb != Kind::DateTime) {
            const double days = toDouble(b, at) * (op == Op::Sub ? -1 : 1);
            return a.toDateTime().addMSecs(qint64(std::llround(days * 86400000.0)));
        }
        if (ka == Kind::DateTime && kb == Kind::DateTime && op == Op::Add)
            fail(at, QStringLiteral("两个日期不能相加"));
        if (kb == Kind::DateTime && op == Op::Add)
            return arithmetic(op, b, a, at);

        const QVariant x = toNumber(a, at), y = toNumber(b, at);
        if (kindOf(x) == Kind::Int && kindOf(y) == Kind::Int) {
            const qint64 i = x.toLongLong(), j = y.toLongLong();
            qint64 r = 0;
            switch (op) {
                case Op::Add:
                    if (!__builtin_add_overflow(i, j, &r))
                        return r;
                    break;
                case Op::Sub:
                    if (!__builtin_sub_overflow(i, j, &r))
                        return r;
                    break;
                case Op::Mul:
                    if (!__builtin_mul_overflow(i, j, &r))
                        return r;
                    break;
                case Op::IntDiv:
                case Op::Mod:
                    if (j == 0)
                        fail(at, QStringLiteral("除数为零"));
                    if (j != -1)
                        return op == Op::IntDiv ? i / j : i % j;
                    break;
                default:
                    break;
            }
        }
        const double i = x.toDouble(), j = y.toDouble();
        switch (op) {
            case Op::Add:
                return i + j;
            case Op::Sub:
                return i - j;
            case Op::Mul:
                return i * j;
            case Op::Divide:
            case Op::IntDiv:
            case Op::Mod:
                if (j == 0)
                    fail(at, QStringLiteral("除数为零"));
                if (op == Op::Divide)
                    return i / j;
                return op == Op::IntDiv ? std::trunc(i / j) : std::fmod(i, j);
            default:
                return {};
        }
    }

    QVariant aggregateValue(const Node& node) {
        switch (node.aggregate) {
            case AggregateKind::Sum:
                return node.total.isValid() ? node.total : qint64(0);
            case AggregateKind::Count:
                return node.count;
            case AggregateKind::Avg:
                return node.count == 0 ? QVariant(qint64(0))
                                       : QVariant(node.total.toDouble() / double(node.count));
            case AggregateKind::Min:
            case AggregateKind::Max:
                return node.extreme;
        }
        return {};
    }

    void expectArgs(const Node& node, size_t least, size_t most) {
        if (node.args.size() < least || node.args.size() > most) {
            const QString count = least == most ? QString::number(least)
                                                : QStringLiteral("%1 到 %2").arg(least).arg(most);
            fail(node, QStringLiteral("函数 %1 需要 %2 个参数").arg(node.name, count));
        }
    }

    QVariant call(const Node& node) {
        const QString name = node.name.toLower();
        if (name == QLatin1StringView("iif")) {  // only the chosen branch is evaluated
            expectArgs(node, 3, 3);
            const bool c = toBool(normalized(eval(*node.args[0])), node);
            return normalized(eval(*node.args[c ? 1 : 2]));
        }
        QVariantList args;
        for (const auto& arg : node.args)
            args.append(normalized(eval(*arg)));
        auto text = [&](int i) { return plainText(args[i]); };

        using Builtin = std::function<QVariant()>;
        struct Entry {
            QLatin1StringView name;
            size_t least, most;
            Builtin run;
        };
        const Entry builtins[] = {
            {QLatin1StringView("copy"), 3, 3,
             [&] {
                 const qint64 start = std::max<qint64>(toInteger(args[1], node), 1);
                 const qint64 length = std::max<qint64>(toInteger(args[2], node), 0);
                 return QVariant(text(0).mid(start - 1, length));
             }},
            {QLatin1StringView("length"), 1, 1, [&] { return QVariant(qint64(text(0).size())); }},
            {QLatin1StringView("trim"), 1, 1, [&] { return QVariant(text(0).trimmed()); }},
            {QLatin1StringView("uppercase"), 1, 1, [&] { return QVariant(text(0).toUpper()); }},
            {QLatin1StringView("lowercase"), 1, 1, [&] { return QVariant(text(0).toLower()); }},
            {QLatin1StringView("formatfloat"), 2, 2,
             [&] { return QVariant(formatNumber(text(0), toDouble(args[1], node))); }},
            {QLatin1StringView("formatdatetime"), 2, 2,
             [&] {
                 const QVariant& d = args[1];
                 if (kindOf(d) == Kind::Null)
                     return QVariant(QString());
                 if (kindOf(d) == Kind::DateTime)
                     return QVariant(formatDate(text(0), d.toDate(), d.toDateTime().time()));
                 if (kindOf(d) == Kind::Time)
                     return QVariant(formatDate(text(0), QDate(), d.toTime()));
                 fail(node, QStringLiteral("%1 不是日期").arg(text(1)));
             }},
            {QLatin1StringView("inttostr"), 1, 1,
             [&] { return QVariant(QString::number(toInteger(args[0], node))); }},
            {QLatin1StringView("floattostr"), 1, 1,
             [&] { return QVariant(doubleText(toDouble(args[0], node))); }},
            {QLatin1StringView("strtoint"), 1, 1,
             [&] {
                 bool ok = false;
                 const qint64 v = text(0).trimmed().toLongLong(&ok);
                 if (!ok)
                     fail(node, QStringLiteral("'%1' 不是整数").arg(text(0)));
                 return QVariant(v);
             }},
            {QLatin1StringView("strtofloat"), 1, 1,
             [&] {
                 bool ok = false;
                 const double v = text(0).trimmed().toDouble(&ok);
                 if (!ok)
                     fail(node, QStringLiteral("'%1' 不是数值").arg(text(0)));
                 return QVariant(v);
             }},
            {QLatin1StringView("round"), 1, 2,
             [&] {
                 const QVariant x = toNumber(args[0], node);
                 const qint64 places = args.size() > 1 ? toInteger(args[1], node) : 0;
                 if (kindOf(x) == Kind::Int && places >= 0)
                     return x;
                 const double r = roundHalfAway(x.toDouble(), int(places));
                 if (places <= 0 && std::abs(r) < 9e18)
                     return QVariant(qint64(r));
                 return QVariant(r);
             }},
            {QLatin1StringView("abs"), 1, 1,
             [&] {
                 const QVariant x = toNumber(args[0], node);
                 if (kindOf(x) == Kind::Int && x.toLongLong() != std::numeric_limits<qint64>::min())
                     return QVariant(std::abs(x.toLongLong()));
                 return QVariant(std::abs(x.toDouble()));
             }},
            {QLatin1StringView("date"), 0, 0,
             [] { return QVariant(QDateTime(QDate::currentDate(), QTime(0, 0))); }},
            {QLatin1StringView("time"), 0, 0, [] { return QVariant(QTime::currentTime()); }},
            {QLatin1StringView("now"), 0, 0, [] { return QVariant(QDateTime::currentDateTime()); }},
        };
        for (const auto& b : builtins) {
            if (name == b.name) {
                expectArgs(node, b.least, b.most);
                return b.run();
            }
        }
        const auto result = m_context.callFunction(node.name, args);
        if (!result)
            fail(node, QStringLiteral("没有函数 %1").arg(node.name));
        return normalized(*result);
    }

    IExpressionContext& m_context;
    const QString& m_text;
    QStringList m_variables;  // whose expressions this one is inside, to stop a cycle
};

void forEachAggregate(Node& node, const std::function<void(Node&)>& visit) {
    if (node.kind == Node::Kind::Aggregate)
        visit(node);
    for (const auto& arg : node.args)
        forEachAggregate(*arg, visit);
}

}  // namespace

Expression Expression::parse(const QString& text) {
    Expression e;
    e.m_text = text;
    e.m_root = std::make_shared<Node>(Node{Internal::parseExpression(text)});
    return e;
}

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

// A copy gets its own aggregate state.
Expression::Expression(const Expression& other) : m_text(other.m_text) {
    if (other.m_root)
        m_root = std::make_shared<Node>(Node{other.m_root->root->clone()});
}

Expression& Expression::operator=(const Expression& other) {
    if (this != &other)
        *this = Expression(other);
    return *this;
}

QVariant Expression::evaluate(IExpressionContext& context) const {
    if (!m_root)
        return {};
    return Evaluator(context, m_text).eval(*m_root->root);
}

int Expression::aggregateCount() const {
    int count = 0;
    if (m_root)
        forEachAggregate(*m_root->root, [&](Internal::Node&) { ++count; });
    return count;
}

void Expression::accumulate(IExpressionContext& context) {
    if (m_root)
        Evaluator(context, m_text).accumulate(*m_root->root);
}

void Expression::resetAggregates() {
    if (!m_root)
        return;
    forEachAggregate(*m_root->root, [](Internal::Node& n) {
        n.total = QVariant();
        n.count = 0;
        n.extreme = QVariant();
    });
}

QString Expression::text() const {
    return m_text;
}

TextTemplate TextTemplate::parse(const QString& text) {
    TextTemplate t;
    int i = 0;
    while (i < text.size()) {
        const int open = int(text.indexOf(u'[', i));
        const int literalEnd = open < 0 ? int(text.size()) : open;
        if (literalEnd > i)
            t.m_parts.push_back({text.mid(i, literalEnd - i), nullptr});
        if (open < 0)
            break;
        const int close = Internal::referenceEnd(text, open);
        if (close < 0)
            throw ExpressionError(QStringLiteral("[ 没有对应的 ]"), text, open);
        const QString inner = text.mid(open + 1, close - open - 2);
        try {
            t.m_parts.push_back(
                {QString(), std::make_shared<Expression>(Expression::parse(inner))});
        } catch (const ExpressionError& e) {
            throw ExpressionError(e.message(), text, open + 1 + e.position());
        }
        i = close;
    }
    return t;
}

QString TextTemplate::evaluate(IExpressionContext& context, const QString& format) const {
    QString out;
    for (const auto& part : m_parts)
        out += part.expression ? formatValue(part.expression->evaluate(context), format)
                               : part.literal;
    return out;
}

std::vector<Expression*> TextTemplate::expressions() {
    std::vector<Expression*> out;
    for (const auto& part : m_parts) {
        if (part.expression)
            out.push_back(part.expression.get());
    }
    return out;
}

// Follows compare(): "N" keys hold a number, matched by numbers, texts that read as one and
// null (as 0); "M" keys the number of such a text or null, which only numbers may match; "T"
// keys the plain text, matched as text. A number's key is one spelling for 7 and 7.0 alike.
EqualityKeys equalityKeys(const QVariant& raw) {
    auto numberKey = [](const QVariant& n) {
        const double d = n.toDouble();
        if (kindOf(n) == Kind::Int)
            return QString::number(n.toLongLong());
        if (d == std::trunc(d) && std::abs(d) < 9e18)
            return QString::number(qint64(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    };
    const QVariant v = normalized(raw);
    const QString text = QStringLiteral("T") + plainText(v);
    switch (kindOf(v)) {
        case Kind::Int:
        case Kind::Double: {
            const QString n = numberKey(v);
            return {{u'N' + n}, {u'N' + n, u'M' + n}};
        }
        case Kind::Null:
            return {{text, QStringLiteral("M0")}, {text, QStringLiteral("N0")}};
        case Kind::Text:
            if (const QVariant n = numberFromText(v.toString()); n.isValid())
                return {{text, u'M' + numberKey(n)}, {text, u'N' + numberKey(n)}};
            break;
        default:
            break;
    }
    return {{text}, {text}};
}

QString formatValue(const QVariant& raw, const QString& format) {
    const QVariant v = normalized(raw);
    if (format.isEmpty())
        return plainText(v);
    switch (kindOf(v)) {
        case Kind::Null:
            return {};
        case Kind::Int:
        case Kind::Double:
            return formatNumber(format, v.toDouble());
        case Kind::DateTime:
            return formatDate(format, v.toDate(), v.toDateTime().time());
        case Kind::Time:
            return formatDate(format, QDate(), v.toTime());
        case Kind::Text: {
            const QVariant n = numberFromText(v.toString());
            if (n.isValid() && looksLikeNumberFormat(format))
                return formatNumber(format, n.toDouble());
            return v.toString();
        }
        case Kind::Bool:
            return plainText(v);
    }
    return {};
}

namespace {

constexpr char16_t kNumerals[] = u"零壹贰叁肆伍陆柒捌玖";

// The amount in ten-thousandths, as a currency value holds it; nullopt out of that range.
std::optional<qint64> toCurrency(double amount) {
    if (!std::isfinite(amount) || std::abs(amount) >= 922337203685477.0)
        return std::nullopt;
    return std::llround(amount * 10000.0);
}

}  // namespace

QString MoneyCn(double mmje) {
    const auto currency = toCurrency(mmje);
    if (!currency)
        return {};
    const qint64 c = std::abs(*currency);
    const qint64 fen = c / 100 + (c % 100 >= 50 ? 1 : 0);  // a half fen goes up
    const QString digits = QString::number(fen);
    const int n = int(digits.size());
    if (n > 15)
        return {};
    // Position 11 is never reached for up to 15 digits; it keeps the units at their places.
    static const QString table =
        QStringLiteral("零壹贰叁肆伍陆柒捌玖-万仟佰拾亿仟佰拾万仟佰拾元角分");
    QString out;
    for (int i = 1; i <= n; ++i) {
        out += table[digits[i - 1].digitValue()];
        out += table[26 - n + i - 1];
    }
    // The order matters: zeros before units collapse first, then runs of zeros, then zeros
    // before the big units, and last the fen that are zero become 整.
    static const std::pair<const char16_t*, const char16_t*> steps[] = {
        {u"零仟", u"零"}, {u"零佰", u"零"}, {u"零拾", u"零"}, {u"零零零", u"零"},
        {u"零零", u"零"}, {u"零亿", u"亿"}, {u"零万", u"万"}, {u"零元", u"元"},
        {u"亿万", u"亿"}, {u"零角", u"零"}, {u"零分", u"整"}, {u"零整", u"整"},
    };
    for (const auto& [from, to] : steps)
        out.replace(QString::fromUtf16(from), QString::fromUtf16(to));
    return (*currency < 0 ? QStringLiteral("负") : QString()) + out;
}

QString MoneyCn_2(double Money) {
    const auto currency = toCurrency(Money);
    if (!currency)
        return {};
    const qint64 c = std::abs(*currency);
    qint64 fen = c / 100;
    const qint64 rest = c % 100;
    if (rest > 50 || (rest == 50 && fen % 2 == 1))  // a half fen goes to the even neighbour
        ++fen;
    const QString digits = QString::number(fen);
    if (digits.size() > 13)
        return {};
    QString out;
    for (const QChar d : digits)
        out += QChar(kNumerals[d.digitValue()]);
    return (*currency < 0 ? QStringLiteral("负") : QString()) + out;
}

}  // namespace Qd::Print
