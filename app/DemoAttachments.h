#pragma once

#include <QByteArray>

namespace Qd::Core::Db {
class SqliteDataServices;
}

namespace Qd::App {

// What the demo's attachments are made from, for the demo's edition: change it when they change.
inline constexpr char kDemoAttachmentsEdition[] = "attachments-1";

// The demo's files attached to order D202611001: a design proof (PNG) and a quotation (PDF),
// drawn here, stored in the file store under their content names and listed for the order.
void addDemoAttachments(Core::Db::SqliteDataServices& db);

// The drawings themselves.
QByteArray demoProofPng();
QByteArray demoQuotationPdf();

}  // namespace Qd::App
