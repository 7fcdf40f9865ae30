#include "ui/uInfoMessageBox.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Qd::Core::Base {

TInfoMessageBox::TInfoMessageBox(QWidget* owner, const QString& message, const QString& detail)
    : QDialog(owner) {
    setWindowTitle(QStringLiteral("错误"));
    m_message = new QLabel(message);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_detail = new QPlainTextEdit(detail);
    m_detail->setReadOnly(true);
    m_detail->setFixedSize(400, 97);
    m_detail->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_ok = new QPushButton(QStringLiteral("确定(&O)"));
    m_ok->setDefault(true);
    m_detailButton = new QPushButton(QStringLiteral("详细信息(&D)"));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_detailButton, &QPushButton::clicked, this, &TInfoMessageBox::toggleDetail);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_detailButton);
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_detail);
    layout->addLayout(buttons);

    // The memo starts folded away: the box is shorter by one text line, the memo and 5 pixels.
    adjustSize();
    const QSize unfolded = size();
    m_detail->hide();
    resize(unfolded.width(), unfolded.height() - foldHeight());
}

void TInfoMessageBox::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Cancel)) {
        m_ok->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

int TInfoMessageBox::foldHeight() const {
    return QFontMetrics(font()).height() + m_detail->height() + 5;
}

bool TInfoMessageBox::detailShown() const {
    return !m_detail->isHidden();
}

void TInfoMessageBox::toggleDetail() {
    const bool show = !detailShown();
    const int fold = foldHeight();
    m_detail->setVisible(show);
    resize(width(), height() + (show ? fold : -fold));
}

}  // namespace Qd::Core::Base
