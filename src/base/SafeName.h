#pragma once

#include <QString>

namespace Qd::Core::Sys {

// The one way a name that comes from data (a template name, a module code, a store folder, an
// attachment name, a caption with a date) becomes a file name: path separators, characters no
// file system takes (: * ? " < > |) and control characters become "_", leading dots and blanks
// and trailing dots and blanks are dropped, names a system reserves (CON, NUL, COM1, ...) get a
// "_" in front, and the result is at most 120 characters and 240 bytes in UTF-8 (file systems
// count bytes: 120 Chinese characters would be 360), so that a suffix of the caller's still
// fits. Never empty: "_" for nothing left.
QString safeFileName(const QString& text);

// `folder` + "/" + safeFileName(name) + `suffix`: a path that cannot leave `folder`. The suffix
// (".fr3", ".ini") is the caller's own text, never data, and is not cut when the name is.
QString fileUnder(const QString& folder, const QString& name, const QString& suffix = {});

// True when `path`, made absolute and clean, lies inside `folder` (or is it).
bool isInside(const QString& path, const QString& folder);

}  // namespace Qd::Core::Sys
