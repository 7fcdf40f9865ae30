#pragma once

namespace Qd::Core::Db {
class SqliteDataServices;
}

namespace Qd::App {

// The demo's order folders on this machine, where the file explorer finds the stored paths
// (mapped under the program home): each store's folder (rootdir) with a note on what it is for,
// and the folders stored with orders (filedir) with a design proof and a quotation. Files that
// exist are left as they are; a folder that cannot be made is skipped and traced.
void addDemoOrderFolders(Core::Db::SqliteDataServices& db);

}  // namespace Qd::App
