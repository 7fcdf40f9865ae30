#pragma once

#include <optional>

#include "core/uBaseForm.h"
#include "db/RecordSet.h"
#include "tools/SmsCompose.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

namespace Qd::Core::Ui {
class PropertyGrid;
}

namespace Qd::Core::Tools {

// What both SMS dialogs share: the template list of one group read into cdsResult, the number
// field, the preview with its counter, the hints and the two actions; sending and its
// messages. The dialogs differ in how they gather the values and the numbers.
class TSmsComposeForm : public Base::TBaseForm {
    Q_OBJECT
public:
    QComboBox* cbbtplList;       // owned by the dialog
    QLineEdit* edtMobile;        // owned by the dialog
    QPlainTextEdit* mmoPreview;  // owned by the dialog
    QLabel* lblCount;            // owned by the dialog
    Db::RecordSet cdsResult;     // the group's templates
    QAction* actOK;
    QAction* actCancel;

    QString ftplid;  // code of the chosen template

protected:
    TSmsComposeForm(QWidget* AOwner, const QString& caption);

    // Lays the dialog out; `extra` (the bulk dialog's rows) goes between the number and the
    // preview.
    void buildLayout(QLayout* extra);
    // Lists the templates of `group`, each entry remembering its id, and selects the first.
    void loadTemplates(int group);
    // Shows `text` in the preview and its length and message count in the counter.
    void showPreview(const QString& text);
    // The chosen template's row in cdsResult, found by the entry's id; false when none.
    bool locateChosen();
    // The chosen template's parameters; nullopt (and the fault shown, naming the template)
    // when its list is invalid.
    std::optional<TplParams> chosenParams();
    // Hands the message to the gateway; "发送成功" and OK, or "发送失败" and the dialog stays.
    void sendMessage(const QString& mobiles, const QString& params);

    virtual void cbbtplListPropertiesChange() = 0;
    virtual void actOKExecute() = 0;
};

// A business notice to one known number, its values supplied by the calling plug-in.
class TAlidayusmsSendForm : public TSmsComposeForm {
    Q_OBJECT
public:
    // `_data` (not owned) receives the company values from the settings, overriding its own;
    // null composes with no values.
    TAlidayusmsSendForm(QWidget* AOwner, int _iType, const QString& mobile, SmsValues* _data);

    int fiType;
    QString fMobile;
    SmsValues* fvalues;  // the caller's, not owned

protected:
    void cbbtplListPropertiesChange() override;
    void actOKExecute() override;
};

// A bulk message: numbers typed by the user, the template's parameters filled in a grid.
class TAlidayusmsSendMutilForm : public TSmsComposeForm {
    Q_OBJECT
public:
    explicit TAlidayusmsSendMutilForm(QWidget* AOwner);

    // Rebuilds the parameter rows for a template's parameter list.
    void generateParams(const TplParams& tplparams);

    Ui::PropertyGrid* vgParams;  // owned by the dialog
    QString fMobile;
    QString ftplParams;  // the chosen template's parameter list
    QString ftpltxt;     // the chosen template's text

protected:
    void cbbtplListPropertiesChange() override;
    void actOKExecute() override;

private:
    void vgParamsEdited();
    // The entered values by key; rows left empty are not in it.
    SmsValues enteredValues() const;

    QStringList m_rowKeys;  // the key of each parameter row, in row order ("p0", "p1", ...)
};

// Registers the bulk dialog as the window of the modules that name it, and starts delivering
// the outbox's due messages in the background: soon after the call, then each minute, for as
// long as `client` (the main window) lives.
void registerSmsTools(QObject* client);

}  // namespace Qd::Core::Tools
