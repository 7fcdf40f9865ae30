#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <functional>

class QFormLayout;
#include <optional>

#include "core/ColumnBuilder.h"
#include "core/uBaseRibbonForm.h"
#include "db/RecordSet.h"

class QTabWidget;

namespace Qd::Core::Ui {
class LookupComboBox;
class PropertyGrid;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Base {

// The base of the record editors ("详细信息"): one record of a master-data module edited field by
// field, with the records of its category to step through, the checks and the save of the
// lists, copy, the code check, lookups for the editors descendants place on the "基础资料" page,
// and the "扩展信息" page of free keys kept as JSON in the record's "extend" column.
class TBasicPropEditForm : public TBaseRibbonForm {
    Q_OBJECT
public:
    // `_pluginfo`: the module's descriptor, its "columns" array included. Start `state`:
    // browse or edit on record `_id`, or insert of a new record.
    TBasicPropEditForm(QWidget* AOwner, const QString& _PlugItemCode, int _id, int _category_p1,
                       int _category_p2, const QJsonObject& _pluginfo, Db::DataSetState state);
    ~TBasicPropEditForm() override;

    void _init() override;
    virtual void onDbLookupComboBoxEditValueChange(QWidget* Sender);
    virtual void getMainData(int p1, int p2);
    virtual void cdsMainOnAfterScroll();
    // An extra statement for the save batch; the base one follows a record moved to another
    // top-level category and returns nothing.
    virtual QString getOnAfterPostSQL();

    // Binds a lookup editor of a descendant to the join table of `fieldName` (which a lookup
    // column of the descriptor registered) and to that field of the record.
    void BindLookupComboboxProperties(Ui::LookupComboBox* combo, const QString& fieldName);
    // An editor of `kind` for the record's field `fieldName`, named after it, bound to it and
    // placed in `form` under `caption`: what a module's record editor is mostly made of.
    QWidget* addFieldEditor(QFormLayout* form, const QString& fieldName, const QString& caption,
                            Ui::EditorKind kind);
    // The code editor's check when it is left: empty or taken codes are refused with an error;
    // the record's own id is excluded, deleted records count. False when refused.
    bool cxDBTextEdit1PropertiesValidate(const QString& value);
    // Posts, writes the extended information and saves the change log with the after-save
    // statement; reloads the category on success.
    void doSave();

    int id;
    int category_p1;
    int category_p2;
    QString PlugItemCode;
    JoinTableList joinTableList;
    Db::DataSetState Fstate;
    std::optional<QJsonArray> extendinfo;
    QString tableName;

    QTabWidget* cxPageControl1;   // owned by the form: 基础资料 and 扩展信息
    QWidget* cxTabSheet1;         // the 基础资料 page, for the descendant's editors
    Ui::PropertyGrid* cxgextend;  // on the 扩展信息 page
    Db::RecordSet cdsMain;
    Db::RecordSet cdsCheckError;

    QAction* actPrev;
    QAction* actNext;
    QAction* actSaveAndNew;
    QAction* actSaveEdit;
    QAction* actcancel;
    QAction* actCopy;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void setJoinTableList();
    void _initexpandInfo();
    void cdsMainBeforePost();
    // 上一条 / 下一条: a pending edit is posted or dropped first, as the user answers.
    void step(bool forward);
    void actSaveAndNewExecute();
    void actSaveEditExecute();
    void actcancelExecute();
    void actCopyExecute();
    void updateState();
    void run(void (TBasicPropEditForm::*handler)());

    QJsonObject m_pluginfo;
};

// The record editor a plug-in gives its module (its own TBasicPropEditForm descendant), opened
// from the module's list by a double click; a module without one edits in the list.
using PropEditFormClass =
    std::function<TBasicPropEditForm*(QWidget* owner, const QString& moduleCode, int id, int p1,
                                      int p2, const QJsonObject& pluginfo, Db::DataSetState state)>;
// Registers the editor of a module; an empty one takes the module's editor away.
void registerPropEditForm(const QString& moduleCode, PropEditFormClass make);
const PropEditFormClass* propEditForm(const QString& moduleCode);

}  // namespace Qd::Core::Base
