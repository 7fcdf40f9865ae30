#include "base/JsonSchema.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <cmath>

namespace Qd::Core::Sys {

namespace {

const QSet<QString>& knownKeywords() {
    static const QSet<QString> known = {
        QStringLiteral("type"),
        QStringLiteral("enum"),
        QStringLiteral("const"),
        QStringLiteral("properties"),
        QStringLiteral("required"),
        QStringLiteral("additionalProperties"),
        QStringLiteral("patternProperties"),
        QStringLiteral("propertyNames"),
        QStringLiteral("minProperties"),
        QStringLiteral("maxProperties"),
        QStringLiteral("items"),
        QStringLiteral("additionalItems"),
        QStringLiteral("contains"),
        QStringLiteral("minItems"),
        QStringLiteral("maxItems"),
        QStringLiteral("uniqueItems"),
        QStringLiteral("minLength"),
        QStringLiteral("maxLength"),
        QStringLiteral("pattern"),
        QStringLiteral("minimum"),
        QStringLiteral("maximum"),
        QStringLiteral("exclusiveMinimum"),
        QStringLiteral("exclusiveMaximum"),
        QStringLiteral("multipleOf"),
        QStringLiteral("anyOf"),
        QStringLiteral("oneOf"),
        QStringLiteral("allOf"),
        QStringLiteral("not"),
        QStringLiteral("if"),
        QStringLiteral("then"),
        QStringLiteral("else"),
        QStringLiteral("$ref"),
        QStringLiteral("definitions"),
        QStringLiteral("title"),
        QStringLiteral("description"),
        QStringLiteral("default"),
        QStringLiteral("examples"),
        QStringLiteral("$schema"),
        QStringLiteral("$id"),
        QStringLiteral("$comment"),
    };
    return known;
}

QString typeOf(const QJsonValue& v) {
    switch (v.type()) {
        case QJsonValue::Null:
            return QStringLiteral("null");
        case QJsonValue::Bool:
            return QStringLiteral("boolean");
        case QJsonValue::Double:
            return QStringLiteral("number");
        case QJsonValue::String:
            return QStringLiteral("string");
        case QJsonValue::Array:
            return QStringLiteral("array");
        case QJsonValue::Object:
            return QStringLiteral("object");
        default:
            return QStringLiteral("undefined");
    }
}

bool isInteger(const QJsonValue& v) {
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    return std::isfinite(d) && std::floor(d) == d;
}

bool hasType(const QJsonValue& v, const QString& type) {
    if (type == QLatin1String("integer"))
        return isInteger(v);
    return typeOf(v) == type;
}

// JSON values equal as the schema language compares them: numbers by value, objects without
// regard to key order, arrays item by item.
bool same(const QJsonValue& a, const QJsonValue& b) {
    return a == b;
}

QString shown(const QJsonValue& v) {
    if (v.isString())
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isNull())
        return QStringLiteral("null");
    return QString::number(v.toDouble(), 'g', 17);
}

QString child(const QString& path, const QString& key) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(key).hasMatch() ? path + QLatin1Char('.') + key
                                       : path + QStringLiteral("[\"") + key + QStringLiteral("\"]");
}

QString item(const QString& path, qsizetype index) {
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

// The rules broken so far, up to a limit; a probe (limit 1) only asks whether any is.
struct Errors {
    QStringList list;
    int limit = 50;
    bool full() const { return list.size() >= limit; }
    void add(const QString& path, const QString& rule) {
        if (!full())
            list << path + QStringLiteral(": ") + rule;
    }
};

}  // namespace

struct JsonSchema::Impl {
    Loader loader;
    QJsonValue root;                   // the schema read, as its own file
    QHash<QString, QJsonValue> files;  // other schema files by name, once loaded
    QHash<QString, QRegularExpression> patterns;

    // ---- references ----

    struct Target {
        QJsonValue schema;
        QString file;  // where the schema's own local references point: empty for the root
    };

    QJsonValue fileRoot(const QString& file) {
        if (file.isEmpty())
            return root;
        auto it = files.find(file);
        if (it == files.end())
            it = files.insert(file, loader ? loader(file) : QJsonValue(QJsonValue::Undefined));
        return *it;
    }

    std::optional<Target> resolve(const QString& ref, const QString& inFile) {
        const qsizetype hash = ref.indexOf(QLatin1Char('#'));
        const QString file = hash < 0 ? ref : ref.left(hash);
        const QString pointer = hash < 0 ? QString() : ref.mid(hash + 1);
        const QString where = file.isEmpty() ? inFile : file;
        QJsonValue at = fileRoot(where);
        if (at.isUndefined())
            return std::nullopt;
        for (const QString& raw : pointer.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            QString part = QUrl::fromPercentEncoding(raw.toUtf8());
            part.replace(QStringLiteral("~1"), QStringLiteral("/"));
            part.replace(QStringLiteral("~0"), QStringLiteral("~"));
            if (at.isObject()) {
                at = at.toObject().value(part);
            } else if (at.isArray()) {
                bool ok = false;
                const int index = part.toInt(&ok);
                at = ok ? at.toArray().at(index) : QJsonValue(QJsonValue::Undefined);
            } else {
                return std::nullopt;
            }
            if (at.isUndefined())
                return std::nullopt;
        }
        return Target{at, where};
    }

    const QRegularExpression& regex(const QString& pattern) {
        auto it = patterns.find(pattern);
        if (it == patterns.end())
            it = patterns.insert(pattern, QRegularExpression(pattern));
        return *it;
    }

    // ---- reading: every keyword known, every reference leads somewhere ----

    QString readError(const QJsonValue& schema, const QString& file, const QString& at,
                      QSet<QString>& seen) {
        if (schema.isBool())
            return {};
        if (!schema.isObject())
            return at + QStringLiteral(": 模式应为对象或 true / false");
        const QJsonObject o = schema.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!knownKeywords().contains(it.key()))
                return at + QStringLiteral(": 不支持的关键字 \"%1\"").arg(it.key());
        if (o.contains(QStringLiteral("$ref"))) {
            const QString ref = o.value(QStringLiteral("$ref")).toString();
            const std::optional<Target> target = resolve(ref, file);
            if (!target)
                return at + QStringLiteral(": 引用 \"%1\" 找不到").arg(ref);
            const QString key = target->file + QLatin1Char('#') + ref;
            if (!seen.contains(key)) {
                seen.insert(key);
                if (QString e = readError(target->schema, target->file, ref, seen); !e.isEmpty())
                    return e;
            }
        }
        if (const QJsonValue p = o.value(QStringLiteral("pattern"));
            p.isString() && !regex(p.toString()).isValid())
            return at + QStringLiteral(": 正则表达式 \"%1\" 无效").arg(p.toString());
        const auto sub = [&](const QJsonValue& s, const QString& where) {
            return readError(s, file, where, seen);
        };
        for (const char* key : {"properties", "patternProperties", "definitions"}) {
            const QJsonObject map = o.value(QLatin1String(key)).toObject();
            for (auto it = map.begin(); it != map.end(); ++it)
                if (QString e = sub(*it, at + QLatin1Char('/') + QLatin1String(key) +
                                             QLatin1Char('/') + it.key());
                    !e.isEmpty())
                    return e;
        }
        for (const char* key : {"additionalProperties", "propertyNames", "additionalItems",
                                "contains", "not", "if", "then", "else", "items"}) {
            const QJsonValue s = o.value(QLatin1String(key));
            if (s.isObject() || s.isBool())
                if (QString e = sub(s, at + QLatin1Char('/') + QLatin1String(key)); !e.isEmpty())
                    return e;
        }
        for (const char* key : {"anyOf", "oneOf", "allOf", "items"}) {
            const QJsonArray list = o.value(QLatin1String(key)).toArray();
            for (qsizetype i = 0; i < list.size(); ++i)
                if (QString e = sub(list[i], at + QLatin1Char('/') + QLatin1String(key) +
                                                 QLatin1Char('/') + QString::number(i));
                    !e.isEmpty())
                    return e;
        }
        return {};
    }

    // ---- checking ----

    bool holds(const QJsonValue& schema, const QString& file, const QJsonValue& v) {
        return firstBreak(schema, file, v, QStringLiteral("$")).isEmpty();
    }

    // The first rule `v` breaks at `path`, as "<path>: <rule>"; empty when it holds.
    QString firstBreak(const QJsonValue& schema, const QString& file, const QJsonValue& v,
                       const QString& path) {
        Errors probe;
        probe.limit = 1;
        check(schema, file, v, path, probe);
        return probe.list.value(0);
    }

    void check(const QJsonValue& schema, const QString& file, const QJsonValue& v,
               const QString& path, Errors& out) {
        if (out.full())
            return;
        if (schema.isBool()) {
            if (!schema.toBool())
                out.add(path, QStringLiteral("此处不允许有值"));
            return;
        }
        const QJsonObject s = schema.toObject();
        if (s.contains(QStringLiteral("$ref"))) {
            // A reference stands for its target; the keywords beside it do not count.
            const std::optional<Target> t =
                resolve(s.value(QStringLiteral("$ref")).toString(), file);
            if (t)
                check(t->schema, t->file, v, path, out);
            return;
        }
        checkType(s, v, path, out);
        if (const QJsonValue e = s.value(QStringLiteral("enum")); e.isArray()) {
            const QJsonArray options = e.toArray();
            if (std::none_of(options.begin(), options.end(),
                             [&](const QJsonValue& o) { return same(o, v); }))
                out.add(path, QStringLiteral("值应为以下之一：%1").arg(shown(e)));
        }
        if (s.contains(QStringLiteral("const")) && !same(s.value(QStringLiteral("const")), v))
            out.add(path, QStringLiteral("值应为 %1").arg(shown(s.value(QStringLiteral("const")))));
        if (v.isDouble())
            checkNumber(s, v.toDouble(), path, out);
        if (v.isString())
            checkString(s, v.toString(), path, out);
        if (v.isArray())
            checkArray(s, file, v.toArray(), path, out);
        if (v.isObject())
            checkObject(s, file, v.toObject(), path, out);
        checkCombinations(s, file, v, path, out);
    }

    void checkType(const QJsonObject& s, const QJsonValue& v, const QString& path, Errors& out) {
        const QJsonValue type = s.value(QStringLiteral("type"));
        if (type.isUndefined())
            return;
        QStringList names;
        if (type.isArray())
            for (const QJsonValue& t : type.toArray())
                names << t.toString();
        else
            names << type.toString();
        if (std::none_of(names.begin(), names.end(),
                         [&](const QString& n) { return hasType(v, n); }))
            out.add(path, QStringLiteral("类型应为 %1（实为 %2）")
                              .arg(names.join(QStringLiteral(" 或 ")), typeOf(v)));
    }

    void checkNumber(const QJsonObject& s, double d, const QString& path, Errors& out) {
        const auto limit = [&](const char* key) { return s.value(QLatin1String(key)); };
        if (const QJsonValue m = limit("minimum"); m.isDouble() && d < m.toDouble())
            out.add(path, QStringLiteral("应不小于 %1").arg(shown(m)));
        if (const QJsonValue m = limit("maximum"); m.isDouble() && d > m.toDouble())
            out.add(path, QStringLiteral("应不大于 %1").arg(shown(m)));
        if (const QJsonValue m = limit("exclusiveMinimum"); m.isDouble() && d <= m.toDouble())
            out.add(path, QStringLiteral("应大于 %1").arg(shown(m)));
        if (const QJsonValue m = limit("exclusiveMaximum"); m.isDouble() && d >= m.toDouble())
            out.add(path, QStringLiteral("应小于 %1").arg(shown(m)));
        if (const QJsonValue m = limit("multipleOf"); m.isDouble() && m.toDouble() > 0) {
            const double q = d / m.toDouble();
            if (!std::isfinite(q) || std::fabs(q - std::round(q)) > 1e-9)
                out.add(path, QStringLiteral("应为 %1 的倍数").arg(shown(m)));
        }
    }

    void checkString(const QJsonObject& s, const QString& text, const QString& path, Errors& out) {
        // Lengths count characters, not UTF-16 units.
        const qsizetype length = text.toUcs4().size();
        if (const QJsonValue m = s.value(QStringLiteral("minLength"));
            m.isDouble() && length < m.toDouble())
            out.add(path, QStringLiteral("长度至少为 %1").arg(shown(m)));
        if (const QJsonValue m = s.value(QStringLiteral("maxLength"));
            m.isDouble() && length > m.toDouble())
            out.add(path, QStringLiteral("长度最多为 %1").arg(shown(m)));
        if (const QJsonValue p = s.value(QStringLiteral("pattern"));
            p.isString() && !regex(p.toString()).match(text).hasMatch())
            out.add(path, QStringLiteral("应匹配 %1").arg(p.toString()));
    }

    void checkArray(const QJsonObject& s, const QString& file, const QJsonArray& a,
                    const QString& path, Errors& out) {
        if (const QJsonValue m = s.value(QStringLiteral("minItems"));
            m.isDouble() && a.size() < m.toDouble())
            out.add(path, QStringLiteral("至少应有 %1 项").arg(shown(m)));
        if (const QJsonValue m = s.value(QStringLiteral("maxItems"));
            m.isDouble() && a.size() > m.toDouble())
            out.add(path, QStringLiteral("最多只能有 %1 项").arg(shown(m)));
        if (s.value(QStringLiteral("uniqueItems")).toBool())
            for (qsizetype i = 0; i < a.size(); ++i)
                for (qsizetype j = i + 1; j < a.size(); ++j)
                    if (same(a[i], a[j])) {
                        out.add(path, QStringLiteral("第 %1 项与第 %2 项相同").arg(i).arg(j));
                        i = a.size();
                        break;
                    }
        const QJsonValue items = s.value(QStringLiteral("items"));
        if (items.isArray()) {
            const QJsonArray tuple = items.toArray();
            for (qsizetype i = 0; i < a.size() && i < tuple.size(); ++i)
                check(tuple[i], file, a[i], item(path, i), out);
            const QJsonValue extra = s.value(QStringLiteral("additionalItems"));
            if (!extra.isUndefined())
                for (qsizetype i = tuple.size(); i < a.size(); ++i)
                    check(extra, file, a[i], item(path, i), out);
        } else if (!items.isUndefined()) {
            for (qsizetype i = 0; i < a.size(); ++i)
                check(items, file, a[i], item(path, i), out);
        }
        if (const QJsonValue c = s.value(QStringLiteral("contains")); !c.isUndefined())
            if (std::none_of(a.begin(), a.end(),
                             [&](const QJsonValue& x) { return holds(c, file, x); }))
                out.add(path, QStringLiteral("至少应有一项符合 contains"));
    }

    void checkObject(const QJsonObject& s, const QString& file, const QJsonObject& o,
                     const QString& path, Errors& out) {
        for (const QJsonValue& key : s.value(QStringLiteral("required")).toArray())
            if (!o.contains(key.toString()))
                out.add(path, QStringLiteral("缺少必需的键 \"%1\"").arg(key.toString()));
        if (const QJsonValue m = s.value(QStringLiteral("minProperties"));
            m.isDouble() && o.size() < m.toDouble())
            out.add(path, QStringLiteral("至少应有 %1 个键").arg(shown(m)));
        if (const QJsonValue m = s.value(QStringLiteral("maxProperties"));
            m.isDouble() && o.size() > m.toDouble())
            out.add(path, QStringLiteral("最多只能有 %1 个键").arg(shown(m)));
        const QJsonObject properties = s.value(QStringLiteral("properties")).toObject();
        const QJsonObject patterned = s.value(QStringLiteral("patternProperties")).toObject();
        const QJsonValue additional = s.value(QStringLiteral("additionalProperties"));
        const QJsonValue names = s.value(QStringLiteral("propertyNames"));
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString where = child(path, it.key());
            if (!names.isUndefined() && !holds(names, file, QJsonValue(it.key())))
                out.add(where, QStringLiteral("键名不符合 propertyNames"));
            bool matched = false;
            if (properties.contains(it.key())) {
                matched = true;
                check(properties.value(it.key()), file, *it, where, out);
            }
            for (auto p = patterned.begin(); p != patterned.end(); ++p)
                if (regex(p.key()).match(it.key()).hasMatch()) {
                    matched = true;
                    check(*p, file, *it, where, out);
                }
            if (matched || additional.isUndefined())
                continue;
            if (additional.isBool() && !additional.toBool())
                out.add(where, QStringLiteral("不允许的键 \"%1\"").arg(it.key()));
            else
                check(additional, file, *it, where, out);
        }
    }

    void checkCombinations(const QJsonObject& s, const QString& file, const QJsonValue& v,
                           const QString& path, Errors& out) {
        for (const QJsonValue& part : s.value(QStringLiteral("allOf")).toArray())
            check(part, file, v, path, out);
        if (const QJsonValue any = s.value(QStringLiteral("anyOf")); any.isArray()) {
            // Each alternative's first break, where it stands: what would have to change.
            QStringList why;
            for (const QJsonValue& p : any.toArray()) {
                QString b = firstBreak(p, file, v, path);
                if (b.isEmpty()) {
                    why.clear();
                    break;
                }
                if (b.startsWith(path + QStringLiteral(": ")))
                    b = b.mid(path.size() + 2);
                why << b;
            }
            if (!why.isEmpty())
                out.add(path, why.join(QStringLiteral("；或 ")));
        }
        if (const QJsonValue one = s.value(QStringLiteral("oneOf")); one.isArray()) {
            const QJsonArray parts = one.toArray();
            const auto matches = std::count_if(
                parts.begin(), parts.end(), [&](const QJsonValue& p) { return holds(p, file, v); });
            if (matches != 1)
                out.add(path,
                        QStringLiteral("应恰好符合 oneOf 中的一种（符合 %1 种）").arg(matches));
        }
        if (const QJsonValue no = s.value(QStringLiteral("not"));
            !no.isUndefined() && holds(no, file, v))
            out.add(path, QStringLiteral("不应符合 not 的模式"));
        if (const QJsonValue cond = s.value(QStringLiteral("if")); !cond.isUndefined()) {
            const QJsonValue then =
                s.value(holds(cond, file, v) ? QStringLiteral("then") : QStringLiteral("else"));
            if (!then.isUndefined())
                check(then, file, v, path, out);
        }
    }
};

JsonSchema::JsonSchema() : d(std::make_unique<Impl>()) {}
JsonSchema::~JsonSchema() = default;

std::unique_ptr<JsonSchema> JsonSchema::read(const QJsonValue& schema, QString* error,
                                             Loader loader) {
    std::unique_ptr<JsonSchema> s(new JsonSchema);
    s->d->loader = std::move(loader);
    s->d->root = schema;
    QSet<QString> seen;
    const QString problem = s->d->readError(schema, QString(), QStringLiteral("#"), seen);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return nullptr;
    }
    return s;
}

QStringList JsonSchema::check(const QJsonValue& document, int limit) const {
    Errors out;
    out.limit = limit;
    d->check(d->root, QString(), document, QStringLiteral("$"), out);
    return out.list;
}

}  // namespace Qd::Core::Sys
