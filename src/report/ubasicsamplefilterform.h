#pragma once

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QLineEdit;

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Report {

// A small modal list of names with a search box ("单表数据查询"), driven by one of the two
// descriptors it carries: 0 the summary phrases (摘要查询), 1 the project names of past orders,
// the most used first (历史工程项目名称). Every change of the search text reloads the list with
// the names containing it; "%" and "_" typed act as wildcards.
class Tbasicsamplefilterform : public Base::TBaseForm {
    Q_OBJECT
public:
    Tbasicsamplefilterform(QWidget* AOwner, int _tag);
    ~Tbasicsamplefilterform() override;

    // Reads the descriptor of resTag: statement, sort, caption and columns.
    void _init();
    // Loads mainSQL + "\r\n" + where + "\r\n" + sortSQL.
    void openData(const QString& where);
    // The condition of a search text: " where name like N'%text%' ", quotes doubled.
    static QString searchCondition(const QString& text);

    // The two descriptors, as JSON texts.
    static QString descriptor(int tag);

    QString mainSQL;
    QString sortSQL;
    int resTag;

    Db::RecordSet cdsMain;
    QLineEdit* edtSearch;       // owned by the dialog
    Ui::Grid* cxgMain;          // owned by the dialog
    Ui::GridView* cxgMainView;  // owned by cxgMain
    QAction* actok;
    QAction* actcancel;
};

// Shows the dialog of descriptor 0 (summary phrases) or 1 (project names) modally: the chosen
// name, or the empty text when cancelled.
QString openzybmkfilterform(QWidget* AOwner);
QString opengcxmmcfilterform(QWidget* AOwner);

}  // namespace Qd::Core::Report
