#pragma once

#include <QString>

namespace Qd::Core::Tools {

// Store and order folders are stored as the users of the shop type them: Windows paths
// ("D:\订单\2026", "\\server\files\x"). The one two-way mapping between such a stored path and
// the local folder that holds its files. On Windows both are the same text. Elsewhere a drive
// path lives under <program home>/drives/<letter>/..., a share under <program home>/unc/<host>/
// <share>/..., a relative path under the program home, and a POSIX path is itself; the section
// [drives] of config.ini can send a drive ("D=/mnt/d") or a share ("host/share=/mnt/s")
// elsewhere.
QString localFolder(const QString& stored);
// The stored form of a local folder: the inverse of localFolder.
QString storedFolder(const QString& local);

// `path` and a folder name joined by exactly one separator: "/" after a POSIX path, "\" after
// any other ("D:\a" and "D:\a\" both give "D:\a\name"); an empty path gives the name alone.
QString joinFolder(const QString& path, const QString& name);
// Why `name` cannot be a new folder's name (empty, "." or "..", or holding / \ : * ? " < > |),
// as a message naming it; empty when it can.
QString folderNameFault(const QString& name);

// Copies the file `source` into `folder` (made when missing) under its own name, or
// "name (2).ext", "name (3).ext", ... when that is taken. The copy is written under a temporary
// name and renamed once whole, so that no half file ever carries the name. Returns the name
// used; empty with `error` set when it failed.
QString copyIntoFolder(const QString& source, const QString& folder, QString* error);

// The file explorer's view style (0 large icons, 1 small icons, 2 list, 3 details) kept in
// config.ini, [main] liststyle; 3 when missing or not one of these.
int readListStyle();
void writeListStyle(int style);

}  // namespace Qd::Core::Tools
