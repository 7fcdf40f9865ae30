#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFileInfo>

namespace Qd::Test {

using namespace Core::Ui;

ScriptedPrompter::ScriptedPrompter() {
    m_previous = setPrompter(this);
}

ScriptedPrompter::~ScriptedPrompter() {
    setPrompter(m_previous);
    EXPECT_TRUE(m_script.empty()) << m_script.size() << " scripted answer(s) were never asked for";
}

void ScriptedPrompter::answer(int result) {
    m_script.push_back({result, {}, false, {}, {}, false});
}

void ScriptedPrompter::answerText(const QString& text) {
    m_script.push_back({0, text, true, {}, {}, false});
}

void ScriptedPrompter::answerDialog(std::function<int(QDialog&)> f) {
    m_script.push_back({0, {}, false, std::move(f), {}, false});
}

void ScriptedPrompter::answerFiles(const QStringList& paths) {
    m_script.push_back({0, {}, false, {}, paths, true});
}

QStringList ScriptedPrompter::documents() const {
    QStringList paths;
    for (const Question& q : m_asked)
        if (q.what == QLatin1String("document"))
            paths << q.text;
    return paths;
}

const ScriptedPrompter::Question& ScriptedPrompter::last() const {
    static const Question none;
    return m_asked.empty() ? none : m_asked.back();
}

void ScriptedPrompter::clear() {
    m_asked.clear();
    m_script.clear();
}

ScriptedPrompter::Question& ScriptedPrompter::record(const QString& what, const QString& text,
                                                     const QString& title, int kind) {
    Question q;
    q.what = what;
    q.text = text;
    q.title = title;
    q.kind = kind;
    m_asked.push_back(std::move(q));
    return m_asked.back();
}

bool ScriptedPrompter::take(const QString& what, Answer& a) {
    const bool acceptedMessage = what == QLatin1String("message") && m_acceptAll;
    if (acceptedMessage && !m_script.empty() && m_script.front().dialog)
        return false;
    if (m_script.empty()) {
        if (!acceptedMessage)
            ADD_FAILURE() << "unexpected " << what.toStdString() << ": "
                          << last().text.toStdString() << " [" << last().title.toStdString() << "]";
        return false;
    }
    a = std::move(m_script.front());
    m_script.pop_front();
    return true;
}

int ScriptedPrompter::message(const QString& text, const QString& title, MsgKind kind,
                              MsgButtons buttons) {
    record(QStringLiteral("message"), text, title, int(kind));
    Answer a;
    if (!take(QStringLiteral("message"), a))
        return buttons == MsgButtons::Ok ? mrOk : (buttons == MsgButtons::YesNo ? mrNo : mrCancel);
    return a.result;
}

std::optional<QString> ScriptedPrompter::input(const QString& title, const QString& label,
                                               const QString&) {
    record(QStringLiteral("input"), label, title, 0);
    Answer a;
    if (!take(QStringLiteral("input"), a) || !a.isText)
        return std::nullopt;
    return a.text;
}

QString ScriptedPrompter::openFileName(const QString& title, const QString&,
                                       const QString& filter) {
    record(QStringLiteral("open"), filter, title, 0);
    Answer a;
    return take(QStringLiteral("open"), a) ? a.text : QString();
}

QString ScriptedPrompter::saveFileName(const QString& title, const QString& dir,
                                       const QString& filter, const QString& defaultSuffix) {
    Question& q = record(QStringLiteral("save"), dir, title);
    q.filter = filter;
    q.suffix = defaultSuffix;
    Answer a;
    if (!take(QStringLiteral("save"), a) || a.text.isEmpty())
        return QString();
    QString path = a.text;
    if (!defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + defaultSuffix;
    if (QFileInfo::exists(path)) {
        record(QStringLiteral("overwrite"), path, title, 0);
        Answer yes;
        if (!take(QStringLiteral("overwrite"), yes) || yes.result != Core::Ui::mrYes)
            return QString();
    }
    return path;
}

QString ScriptedPrompter::folder(const QString& title, const QString&) {
    record(QStringLiteral("folder"), QString(), title, 0);
    Answer a;
    return take(QStringLiteral("folder"), a) ? a.text : QString();
}

QStringList ScriptedPrompter::openFileNames(const QString& title, const QString&,
                                            const QList<FileFilter>& filters) {
    QStringList lines;
    for (const FileFilter& f : filters)
        lines << f.caption + u'|' + f.mask;
    record(QStringLiteral("openFiles"), lines.join(u'\n'), title, 0);
    Answer a;
    if (!take(QStringLiteral("openFiles"), a))
        return {};
    if (a.isFiles)
        return a.files;
    return a.isText && !a.text.isEmpty() ? QStringList{a.text} : QStringList();
}

bool ScriptedPrompter::openDocument(const QString& path) {
    record(QStringLiteral("document"), path, QString(), 0);
    return m_documentsOpen;
}

QStringList ScriptedPrompter::messages() const {
    QStringList out;
    for (const Question& q : m_asked)
        if (q.what == QLatin1String("message"))
            out << q.text;
    return out;
}

int ScriptedPrompter::exec(QDialog& dialog) {
    record(QStringLiteral("exec"), dialog.objectName(), dialog.windowTitle(), 0);
    Answer a;
    if (!take(QStringLiteral("exec"), a))
        return QDialog::Rejected;
    return a.dialog ? a.dialog(dialog) : a.result;
}

}  // namespace Qd::Test
