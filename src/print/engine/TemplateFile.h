#pragma once

// Reading and writing report templates: JSON in UTF-8, keys in a fixed order and indented, so
// that saving the same template twice gives the same bytes and a change shows as a small diff.
// The layout is described in docs/report-templates.md. A file's name and extension mean nothing
// to the format: only its content is looked at.

#include <QByteArray>
#include <QString>
#include <stdexcept>

#include "print/engine/Template.h"

namespace Qd::Print {

// A template that cannot be read or written: which file (empty for bytes from elsewhere) and
// why, the reason naming the key at fault ("bands[2].objects[0].hAlign: ...") where there is one.
class TemplateError : public std::runtime_error {
public:
    TemplateError(const QString& path, const QString& reason);
    const QString& path() const noexcept { return m_path; }
    const QString& reason() const noexcept { return m_reason; }
    // "<path>: <reason>", or the reason alone when there is no path.
    QString message() const;

private:
    QString m_path;
    QString m_reason;
};

class TemplateFile {
public:
    static constexpr const char* kFormatName = "qd-report";
    // Raised only for changes an older reader would misread; new keys do not raise it, since
    // readers skip keys they do not know.
    static constexpr int kVersion = ReportTemplate::kFormatVersion;

    // Both throw TemplateError.
    static void save(const ReportTemplate& report, const QString& path);
    static ReportTemplate load(const QString& path);

    static QByteArray toBytes(const ReportTemplate& report);
    // `sourceName` is what errors name as the path (a database key, say). Throws TemplateError.
    static ReportTemplate fromBytes(const QByteArray& bytes, const QString& sourceName = {});

private:
    static ReportTemplate parse(const QByteArray& bytes, const QString& sourceName);
};

}  // namespace Qd::Print
