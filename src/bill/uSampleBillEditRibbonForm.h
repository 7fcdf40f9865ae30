#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QPointer>

#include "bill/uBaseBillEditRibbonForm.h"
#include "ui/grid/Grid.h"

class QLabel;

namespace Qd::Core::Bill {

// A ready-made bill window: a header strip (title, status stamp, number, date, time, print
// count), a free area for the module's header editors, and the detail grid built from the
// descriptor's columns. It loads a bill with the descriptor's two statements
// ("data"/"master"/"sql", "data"/"detail"/"sql"), switches its editors between read-only and
// editable and offers the detail rows' actions. A bill module derives from it and writes the
// bill (_Insert, _Update, _delete); the window loads nothing by itself: the module opens the
// bill it was asked for with OpenBillData. Not registered for the navigator: its write hooks
// write nothing.
class TSampleBillEditRibbonForm : public TBaseBillEditRibbonForm {
    Q_OBJECT
public:
    TSampleBillEditRibbonForm(QWidget* owner, Sys::TPlugItem* data);
    ~TSampleBillEditRibbonForm() override;

    // The bill editor's creation, then the title (the rule's bill name over the descriptor's
    // "title"), the two statements and the detail columns. A descriptor lacking "title",
    // "data"/"master"/"sql" or "data"/"detail"/"sql" is named once and the window stays
    // read-only.
    void _init() override;
    // Binds every declared header editor to the master row; runs once, at the first show.
    void FormShow();

    // Loads the bill: the master statement with the session's placeholders filled and the
    // values of ":userCode" and ":billno" (a quote in them is the value it is), the detail
    // statement with the loaded bill's number.
    void OpenBillData(const QString& no) override;
    bool LoadBillData(const QString& no, Db::RecordSet& master, Db::RecordSet& detail) override;
    void fillMasterData() override;
    void BeforeAppend() override;
    void ComponentReadOnly(bool readOnly) override;

    // Called after the detail columns are built (nothing here).
    virtual void genDetailColumns();
    // Called at the end of every load with the number asked for (nothing here).
    virtual void opendataEx(const QString& no);
    // Fills the module's own placeholders of a load statement, before the window fills the
    // session's, ":userCode" and ":billno" (nothing here; the order fills its store).
    virtual void fillOwnPlaceholders(QString& sql) const;

    // Declares a header editor for a master field: made by the kit (in the free area unless
    // another parent is given; the module places it), bound at FormShow, switched by
    // ComponentReadOnly. A button editor on "zy" picks a summary.
    QWidget* addHeaderEditor(const QString& field, const Ui::EditorProps& props,
                             QWidget* parent = nullptr);
    QWidget* addHeaderEditor(const QString& field, Ui::EditorKind kind, QWidget* parent = nullptr);
    // The header editor declared for a field; null when none.
    QWidget* headerEditor(const QString& field) const;

    QString masterSQL;
    QString detailSQL;

    QLabel* cxLabel1;       // title
    QLabel* cxLabel2;       // status stamp
    QLabel* cxLabel3;       // 单号：
    QLabel* cxLabel4;       // 日期：
    QLabel* cxLabel5;       // 时间：
    QLabel* lblPrintCount;  // 单据已打印 n 次
    QWidget* headerArea;    // the module's header editors go here
    Ui::Grid* gDetail;
    Ui::GridView* gDetailView;  // gDetail's view of the lines

    QAction* actDetail_Add;     // 新增明细
    QAction* actDetail_Edit;    // 修改
    QAction* actDetail_Del;     // 删除
    QAction* actDetail_DelAll;  // 删除全部

protected:
    // Handlers a module may fill: the title clicked, a detail field changed (-1: the row),
    // a line about to be posted, the button of the header editor "wldw" clicked.
    virtual void cxLabel1Click();
    virtual void dsDetailDataChange(int field);
    virtual void cdsDetailBeforePost();
    virtual void edtwldwPropertiesButtonClick();

    void showEvent(QShowEvent* e) override;
    // Stores the detail grid's layout, then closes as every bill window does.
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    using Self = TSampleBillEditRibbonForm;
    QWidget* buildStrip(QWidget* page);
    void createDetailActions();
    void updateDetailActions();
    void setStamp(const QString& text, const QColor& color);
    // Number, date, time and print count of the master row (a new bill: of now, no count).
    void showStripTexts(bool newBill);
    void copyBillno();
    void showPrintLog();
    void pickSummary();
    void deleteAllLines();
    bool editing() const;
    Db::Params placeholderValues(const QString& sql, const QString& no) const;

    mutable QHash<QString, QStringList> m_placeholders;  // statement text: its :billno/:userCode

    QList<QPair<QString, QPointer<QWidget>>> m_headerEditors;  // field, editor
    bool m_shown = false;
};

}  // namespace Qd::Core::Bill
