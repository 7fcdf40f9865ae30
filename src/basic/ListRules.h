#pragma once

// The checks and fills every master-data window applies to a record before it is saved,
// whichever window edits it (a list in place, or the record editor).

#include <QJsonObject>
#include <functional>

#include "base/Prompter.h"
#include "db/RecordSet.h"

namespace Qd::Core::Base {

// The rights a record's post needs at the moment of the post, through the rights gate: "_01"
// for a new record, "_02" for a change, and "_03" besides when the change sets or clears the
// soft-delete flag "isdel" (deleting through an edit is deleting). EAbort on refusal.
void gateRowChange(Db::RecordSet& cds, const QString& moduleCode);

// A record filed in a categorised module needs its code, its name, its top-level category
// ("p1") and its store ("ck_id"), for the fields it has: the first missing is shown as an error
// ("请输入编号", "请输入名称", "请设置一级分类", "请设置所属门店"), `focus` is told its field, and
// the post is refused (EAbort).
void checkFiledRecord(Db::RecordSet& cds, const std::function<void(int field)>& focus = {});

// The descriptor's "validation" rules on the current record: "required" (empty text) and
// "unique" (its "checksql" filled with the organisation, the value and the record's id finds a
// row); the first that fails shows its "errormsg" as a message of `kind` and refuses the post.
// A statement that cannot run, or a rule on a field the record lacks, refuses it too.
// `scratch` receives the rows a "unique" statement found.
void applyValidationRules(const QJsonObject& pluginfo, const QString& moduleCode,
                          Db::RecordSet& cds, Db::RecordSet& scratch, Ui::MsgKind kind);

// After field `field` changed: a non-empty "name" gives "helpcode" its pinyin initials.
void fillHelpCode(Db::RecordSet& cds, int field);

}  // namespace Qd::Core::Base
