#pragma once

#include <QString>

namespace Qd::Core::Sys {

// The one way a name that comes from data (a template name, a module code, a store folder, an
// attachment name, a caption with a date) becomes a file name: path separators, characters no
// file system takes (: * ? " < > |) and control characters become "_", leading dots and blanks
// and trailing dots and blanks are dropped, names a system reserves (CON, NUL, COM1, ...) get a
// "_" in front, and the result is at most 120 characters. Never empty: "_" for nothing left.
QString safeFileName(const QString& text);

// `folder` + "/" + safeFileName(name): a path that cannot leave `folder`.
QString fileUnder(const QString& folder, const QString& name);

// True when `path`, made absolute and clean, lies inside `folder` (or is it).
bool isInside(const QString& path, const QString& folder);

}  // namespace Qd::Core::Sys
