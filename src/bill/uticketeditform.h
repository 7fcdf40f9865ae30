#pragma once

#include <QString>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QTextEdit;

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Bill {

// The conversation left on a bill (工单): every user of the organisation sees the same messages,
// oldest first, and may add one.
class Tticketeditform : public Base::TBaseForm {
    Q_OBJECT
public:
    // `_biztype`: the module title of the bill's module; `_bizid`: the bill's master id.
    Tticketeditform(QWidget* AOwner, const QString& _biztype, qint64 _bizid);
    ~Tticketeditform() override;

    // Reads the messages again and clears the reply; false when they could not be read (the
    // error was shown).
    bool _initData();
    bool loaded() const { return m_loaded; }

    QString biztype;
    qint64 bizid;
    Db::RecordSet cdsResult;  // the messages, with a second copy of each text for 查看
    Ui::Grid* cxgResult;      // owned by the dialog
    Ui::GridView* cxgResultView;
    QTextEdit* edtReply;
    QAction* actsubmit;

private:
    void actsubmitExecute();

    bool m_loaded = false;
};

}  // namespace Qd::Core::Bill
