#pragma once

#include <vector>

#include "print/engine/Template.h"

namespace Qd::Core::Db {
class SqliteDataServices;
}

namespace Qd::App {

// The demo organisation's print templates: lists of 项目资料, 员工资料 and 摘要资料 (dataset
// "列表"), an order and a receipt (datasets "表头数据" and "明细数据", the amount in capitals).
Print::ReportTemplate demoItemListTemplate();
Print::ReportTemplate demoEmployeeListTemplate();
Print::ReportTemplate demoSummaryListTemplate();
Print::ReportTemplate demoOrderTemplate();
Print::ReportTemplate demoReceiptTemplate();
Print::ReportTemplate demoOrderLinesReportTemplate();
// Each of them with the code of the module it prints for.
struct DemoTemplate {
    QString moduleCode;
    Print::ReportTemplate report;
};
std::vector<DemoTemplate> demoTemplates();
// Stores them as shared templates of their modules (qd_sys_printdocs, number "01").
void addDemoTemplates(Core::Db::SqliteDataServices& db);

}  // namespace Qd::App
