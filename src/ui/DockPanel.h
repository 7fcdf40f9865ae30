#pragma once

#include <QFrame>

class QLabel;
class QHBoxLayout;
class QToolButton;
class QVBoxLayout;

namespace Qd::Core::Ui {

// A docked panel of a working form: a caption bar with the panel's buttons at its right end,
// and the panel's content below, filling the rest.
class DockPanel : public QFrame {
    Q_OBJECT
public:
    DockPanel(const QString& name, QWidget* parent = nullptr);

    QString caption() const;
    void setCaption(const QString& text);
    // A caption-bar button that triggers `action` (not owned).
    QToolButton* addCaptionButton(QAction* action);
    // Puts `content` below the caption bar; the panel takes it over.
    void setContent(QWidget* content);

private:
    QLabel* m_caption;      // owned by the widget tree
    QHBoxLayout* m_bar;     // the caption bar's
    QVBoxLayout* m_layout;  // the panel's
};

}  // namespace Qd::Core::Ui
