#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace Qd::Core::Ui {

// One page of a wizard: a title shown above it and the page's own controls (lay them out on
// the page). A hidden page is skipped by the wizard's buttons.
class WizardPage : public QWidget {
    Q_OBJECT
public:
    WizardPage(const QString& title, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    bool pageVisible() const { return m_pageVisible; }

private:
    friend class WizardControl;
    QString m_title;
    bool m_pageVisible = true;
};

// A wizard: titled pages shown one at a time, and the buttons "< 上一步", "下一步 >", "开始" and
// "取消" under them. Back and next move to the nearest page before or after the active one that
// is not hidden; finish and cancel do nothing by themselves, their owner acts on buttonClick.
// Back is enabled when there is a shown page before the active one, next when there is one
// after it, finish on the last shown page; cancel always.
class WizardControl : public QWidget {
    Q_OBJECT
public:
    enum class Button { Back, Next, Finish, Cancel };

    explicit WizardControl(const QString& name, QWidget* parent = nullptr);

    // Appends a page; the first page added becomes the active one. The wizard owns it.
    WizardPage* addPage(const QString& title);
    int pageCount() const;
    WizardPage* page(int index) const;

    // Hides or shows a page for the buttons; the active page stays where it is.
    void setPageVisible(int index, bool on);
    bool pageVisible(int index) const;

    int activePageIndex() const;
    // Makes `index` the active page (hidden or not) and says so with pageChanged.
    void setActivePageIndex(int index);

    // The nearest shown page before or after `index`; -1 when there is none.
    int priorPageIndex(int index) const;
    int nextPageIndex(int index) const;

    QPushButton* button(Button which) const;
    // What a press of the button does: buttonClick first (whose handler may take the click over),
    // then back or next move when nobody did. A disabled button does nothing.
    void click(Button which);

Q_SIGNALS:
    // A button was pressed, before the wizard acts on it. Setting *handled keeps the wizard
    // from acting (back and next do not move).
    void buttonClick(Qd::Core::Ui::WizardControl::Button which, bool* handled);
    // Another page became the active one.
    void pageChanged(int index);

private:
    void updateButtons();

    QLabel* m_title;                // owned by the widget tree
    QStackedWidget* m_pages;        // owned by the widget tree; holds the pages
    QList<QPushButton*> m_buttons;  // owned by the widget tree, in Button order
};

}  // namespace Qd::Core::Ui
