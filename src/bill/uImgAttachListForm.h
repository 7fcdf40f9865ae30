#pragma once

#include <QImage>
#include <QString>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QPlainTextEdit;
class QPushButton;

namespace Qd::Core::Ui {
class Grid;
class GridView;
class ImageBox;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Bill {

// The text of a stored file's size: bytes below 1 KB, then KB and M with two decimals (halves
// away from zero), the number itself from 1 GB on.
QString attachmentSizeText(qint64 n);

// 附件列表: the files attached to one bill. Files are added to the file store under their
// content's MD5 and listed with a remark; pictures are previewed, other documents opened in
// their associated program.
class TImgAttachListForm : public Base::TBaseForm {
    Q_OBJECT
public:
    // `_BillCode`: the bill's module code; `_billno`: the bill number.
    TImgAttachListForm(QWidget* AOwner, const QString& _BillCode, const QString& _billno);
    ~TImgAttachListForm() override;

    // False when the list could not be read (the error was shown).
    bool loaded() const { return m_loaded; }
    bool _initData();

    // Escape and 返回 close with Cancel, asking first whether to save an edited remark.
    void reject() override;

    QString billcode;
    QString billno;
    QImage pic;  // the preview's placeholder
    Db::RecordSet cdsResult;

    Ui::Grid* cxgResult;  // owned by the dialog
    Ui::GridView* cxgResultView;
    QPlainTextEdit* edtRemark;
    Ui::ImageBox* imgPreview;
    QAction* actadd;
    QAction* actdel;
    QAction* actsave;
    QAction* actpreview;
    QAction* actreplace;  // 附件替换: no button shown
    QAction* actrotate;   // 图片旋转: no button shown
    QAction* actreturn;

private:
    void actaddExecute();
    void actdelExecute();
    void actsaveExecute();
    void actpreviewExecute();
    bool addFile(const QString& path);
    void writeChanges();
    void openDocument(const QString& path);

    bool m_loaded = false;
    bool m_closing = false;
};

}  // namespace Qd::Core::Bill
