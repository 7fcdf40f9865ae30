#pragma once

#include <QPoint>

#include "core/uBaseForm.h"
#include "db/DataServices.h"
#include "db/RecordSet.h"
#include "sys/SystemServices.h"

class QLineEdit;
class QTimer;

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Report {

// 快速查询: a borderless pop-up list of a module's rows placed with its top-left corner at a
// screen point, empty until a keyword is typed. The row chosen (确定, double click, Enter) goes
// to OnQuickFilterChange with the owner as sender; losing the focus closes it without a call.
// Modeless; it frees itself when it closes.
class Tquickfilterform : public Base::TBaseForm {
    Q_OBJECT
public:
    static constexpr int kSearchDelayMs = 250;

    Tquickfilterform(QWidget* AOwner, Sys::TPlugItem* _plugitem, const QPoint& _pos);
    ~Tquickfilterform() override;

    // mainSQL from the descriptor's "filter.mainsql": "select * from (" + it + ") t1 where 1=1".
    void _init();
    // The condition appended to mainSQL for the keyword: the framework's search (code or
    // pinyin initials starting with it, name containing it), with its values in
    // conditionParams(); empty without a keyword.
    virtual QString condition();
    // The values condition() binds.
    virtual Db::Params conditionParams();
    // Loads mainSQL + "\r\n" + `condition` with conditionParams() bound.
    void getMainData(const QString& condition);
    // The keyword's search now (also what the button does).
    void searchNow();
    bool searchPending() const;
    // 确定: the current row to the handler, then closes; nothing without rows or handler.
    void actokExecute();

    const Sys::TOnQuickFilterChange& OnQuickFilterChange() const { return FOnQuickFilterChange; }
    void setOnQuickFilterChange(Sys::TOnQuickFilterChange handler) {
        FOnQuickFilterChange = std::move(handler);
    }

    QString mainSQL;
    Sys::TOnQuickFilterChange FOnQuickFilterChange;
    QPoint pos;
    Sys::TPlugItem* PlugItem;  // not owned: the registry's

    Db::RecordSet cdsMain;
    QLineEdit* edtKeyword;      // owned by the window
    Ui::Grid* cxgMain;          // owned by the window
    Ui::GridView* cxgMainView;  // owned by cxgMain
    QAction* actok;
    QAction* actcancel;

protected:
    bool event(QEvent* e) override;
    // A frameless pop-up draws its own edge, so that it stands out from the window under it.
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void done(int r) override;

private:
    QStringList m_fields;    // the fields of the list statement, learnt at the first search
    QTimer* m_searchTimer;   // owned by the window
    bool m_closing = false;  // no focus loss closes it any more
    bool m_done = false;     // closed once: the layout stored, the window going
};

// Opens the quick filter of `item` under the owner's control at `pos` (a screen point) with
// `handler` for the chosen row, and gives it the focus. The window frees itself.
Tquickfilterform* showQuickFilter(QWidget* owner, Sys::TPlugItem* item, const QPoint& pos,
                                  Sys::TOnQuickFilterChange handler);

}  // namespace Qd::Core::Report
