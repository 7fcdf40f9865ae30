#pragma once

#include <QString>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Bill {

// A read-only list of one bill's log rows (audits, prints) with the names of the operator and
// the store that wrote them. 确定 and Escape close it with OK.
class TBillLogViewForm : public Base::TBaseForm {
    Q_OBJECT
public:
    struct LogColumn {
        const char* field;
        const char* caption;
        int width;
    };
    // False when the log could not be read (the error was shown).
    bool loaded() const { return m_loaded; }
    void reject() override;

    QString billno;
    QString modulecode;
    Db::RecordSet cdsResult;
    Ui::Grid* cxgResult;  // owned by the dialog
    Ui::GridView* cxgResultView;
    QAction* actok;

protected:
    TBillLogViewForm(QWidget* AOwner, const QString& _modulecode, const QString& _billno,
                     const char* objectName, const char* caption, const char* table,
                     std::initializer_list<LogColumn> columns);
    ~TBillLogViewForm() override;

private:
    bool m_loaded = false;
};

// 单据审核日志查询: the bill's audits and un-audits.
class Tbillauditlogviewform : public TBillLogViewForm {
    Q_OBJECT
public:
    Tbillauditlogviewform(QWidget* AOwner, const QString& _modulecode, const QString& _billno);
};

// 单据打印日志查询: the bill's prints.
class Tbillprintlogviewform : public TBillLogViewForm {
    Q_OBJECT
public:
    Tbillprintlogviewform(QWidget* AOwner, const QString& _modulecode, const QString& _billno);
};

}  // namespace Qd::Core::Bill
