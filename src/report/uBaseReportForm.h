#pragma once

#include <QJsonObject>
#include <memory>
#include <vector>

#include "core/ColumnBuilder.h"
#include "core/ParamsPanel.h"
#include "core/uBaseRibbonForm.h"
#include "db/RecordSet.h"

class QPushButton;

namespace Qd::Core::Ui {
class DockPanel;
class Grid;
class GridView;
class PropertyGrid;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Report {

// The working form of every report: a panel of parameters on the left ("查询条件"), the result
// grid on the right ("查询结果"). The report is not the plug item's descriptor: the module opens
// the form and calls init with the report's title, and the form reads the report from the
// catalogue (qd_sys_rptmain). A double click drills down to a bill or another report; the grid
// copies, exports and prints what it shows.
class TBaseReportForm : public Base::TBaseRibbonForm {
    Q_OBJECT
public:
    TBaseReportForm(QWidget* owner, Sys::TPlugItem* data);
    ~TBaseReportForm() override;

    // Loads the report titled `rptName` and gives its parameters the incoming values `_params`
    // (a JSON array of {"name", "value"}; may be empty). Nothing is queried.
    virtual void init(const QString& rptName, const QString& _params);
    virtual void _initParams();
    virtual void _initColumns();
    // Runs the report with the panel's values (查询).
    void _open();

    // A preset of the date range group writes 开始 and 结束 (index as the group lists them).
    void rgDateRangeClick(int index);
    void OnButtonEditClick(const QString& param);
    // The drill-down of a double click on a result row.
    void cxgMainDBBandedTableView1DblClick();

    // The selected block as text: each selected row in grid order, each selected column's
    // value followed by a tab, each line ended by CR LF; with the captions as a first line.
    QString selectedText(bool withCaptions) const;
    // The report's parameters with their rows, in array order.
    const std::vector<Base::ParamRow>& paramsList() const { return m_panel->rows(); }
    // The layout key of the result grid: module code + "_" + report code.
    QString layoutKey() const;

    QString FrptName;  // the report's title
    QString FrptCode;  // its catalogue code
    QString mainsql;   // its statement, expanded at every run
    Base::JoinTableList joinTableList;

    Ui::DockPanel* dxPanelParams;             // "查询条件"
    Base::DateRangeGroup* rgDateRange;        // owned by dxPanelParams
    Ui::PropertyGrid* vgParams;               // owned by dxPanelParams
    QPushButton* btnopen;                     // owned by dxPanelParams
    Ui::DockPanel* dxPanelResult;             // "查询结果"
    Ui::Grid* cxgMain;                        // owned by dxPanelResult
    Ui::GridView* cxgMainDBBandedTableView1;  // owned by cxgMain
    Db::RecordSet cdsMain;

    QAction* actopen;
    QAction* actColConfig;
    QAction* actexportwizard;
    QAction* actprint;
    QAction* actExport2Xls;  // no toolbar button
    QAction* actcopyvalue;
    QAction* actcopyrowvalue;
    QAction* actcopyrowwithtitlevalue;

    void _init() override;
    void setComponentsProp() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void actColConfigExecute();
    void actexportwizardExecute();
    void actExport2XlsExecute();
    void actprintExecute();
    bool hasRows() const;  // a query ran and found rows
    // Copies `text`; nothing is copied while there are no rows.
    void copyToClipboard(const QString& text);
    void drillToBill(const QJsonObject& event, const QString& target);
    void drillToReport(const QJsonObject& event, const QString& target);
    // Names a descriptor fault once: the report, its code and what is wrong.
    void descriptorProblem(const QString& what) const;
    void updateResultCaption();

    std::unique_ptr<Base::ParamsPanel> m_panel;
    bool m_hasReport = false;  // a descriptor with a main statement was loaded
};

// Registers the report form's open entry: the module's form docks, then loads the report
// named by the title it was opened with (the module title when none).
void registerReportForm();

}  // namespace Qd::Core::Report
