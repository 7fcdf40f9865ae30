#pragma once

#include <QDialog>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Qd::Core::Base {

// An error box with a technical detail that the user can unfold: the message in a word-wrapped
// label, the detail in a scrolling memo below it that starts hidden; "详细信息(&D)" shows or hides
// it and grows or shrinks the box by its height. "确定(&O)" is also the Cancel key's button:
// Escape closes the box with OK.
class TInfoMessageBox : public QDialog {
    Q_OBJECT
public:
    TInfoMessageBox(QWidget* owner, const QString& message, const QString& detail);

    bool detailShown() const;
    QPushButton* okButton() const { return m_ok; }
    QPushButton* detailButton() const { return m_detailButton; }
    QPlainTextEdit* detailMemo() const { return m_detail; }

public Q_SLOTS:
    void toggleDetail();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    int foldHeight() const;

    QLabel* m_message;         // owned by the dialog
    QPlainTextEdit* m_detail;  // owned by the dialog
    QPushButton* m_ok;
    QPushButton* m_detailButton;
};

}  // namespace Qd::Core::Base
