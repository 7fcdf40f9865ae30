#pragma once

#include "core/uBaseForm.h"

class QPlainTextEdit;

namespace Qd::Core::Bill {

// 单据审核: the note an audit or un-audit is logged with, preset with "这是审核的说明". 确定
// accepts; 取消 and Escape reject.
class TAuditingDataForm : public Base::TBaseForm {
    Q_OBJECT
public:
    explicit TAuditingDataForm(QWidget* owner);

    // The note as typed, its line breaks as CR LF.
    QString note() const;

    QPlainTextEdit* Memo1;  // owned by the dialog
};

}  // namespace Qd::Core::Bill
