#pragma once

#include <QDateTime>
#include <functional>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"
#include "ui/grid/Grid.h"

class QLabel;

namespace Qd::Core::Tools {

// 生产流程跟踪: the production flow of one order as a time-ordered list of steps, and how long
// the order has been running. Read-only; 确定 and Escape close it with OK.
class Txmzzkflowviewform : public Base::TBaseForm {
    Q_OBJECT
public:
    Txmzzkflowviewform(QWidget* AOwner, qint64 _id);
    ~Txmzzkflowviewform() override;

    // Loads the flow of the order and shows the elapsed time (what creation runs).
    void openflowdata();
    void reject() override;

    // The batch that lists the flow of order `id` (the id is pasted into it as a number).
    static QString flowSql(qint64 id);

    qint64 id;
    Db::RecordSet cdsflowlist;
    Ui::Grid* cxgflowlist;  // owned by the dialog
    Ui::GridView* cxgflowlistView;
    QLabel* lblDiff;    // the elapsed time, red bold
    QWidget* pnlDiff;   // the whole sentence around it
    QLabel* lblAdvice;  // " 请注意合理安排进度。"
    QAction* actok;

    // The clock the running time is measured up to (tests pin it).
    std::function<QDateTime()> m_now = &QDateTime::currentDateTime;

    // How the step at `row` is drawn.
    Ui::RowStyle stepStyle(int row) const;

private:
    void showElapsed();
};

// Shows the flow of order `id` modally, without an owner.
void showflowview(qint64 id);

}  // namespace Qd::Core::Tools
