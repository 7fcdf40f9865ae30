#pragma once

// The three-way merge of a bill edited here while another user saved it: base (the bill as this
// edit loaded it, kept as the originals of the change logs), mine (the record sets as edited)
// and theirs (the bill as stored now). No widgets: the choices the merge cannot make are listed
// as conflicts for a dialog (uBillMergeForm.h) or a test to decide.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "db/RecordSet.h"

namespace Qd::Core::Bill {

struct MergeOptions {
    QString keyField = QStringLiteral("id");
    QString versionField = QStringLiteral("version");
    QString lineKey = QStringLiteral("uid");
    // Master columns never merged: theirs stay (the descriptor's "ignorefields"). A column that
    // is also in a unit follows its unit: a lookup's shown name must match its key.
    QStringList ignored;
    // Fields merged as one unit: a lookup key first, then the fields it fills, such as
    // {"kh_id", "kh_name", "kh_code"}. `units` are the master's, `lineUnits` the lines'.
    QList<QStringList> units;
    QList<QStringList> lineUnits;
    // Fields computed from others (an amount, a total), master or lines: never a conflict; where
    // both sides changed them theirs stay, and the caller computes them again after apply().
    QStringList derived;
    // Shown names of fields by field name (any case); a field's label where none is given.
    QHash<QString, QString> captions;
    // A line field shown beside the line's number in a conflict (an item's name); may be empty.
    QString lineCaption;
};

enum class MergeSide { Mine, Theirs };

// One choice the user makes.
struct MergeConflict {
    QString uid;         // the line's key; empty for the master
    QStringList fields;  // the unit's fields; for a deleted line, those the other side changed
    QString where;       // "主单", or "明细 <n>" and the line's caption
    QString what;        // the unit's caption, or "删除/修改" for a deleted line
    QString base, mine, theirs;  // the values as shown; "（已删除）" for a side that deleted
    MergeSide choice = MergeSide::Mine;
};

class BillMerge {
public:
    // Compares the bill in `myMaster` (one row) and `myDetail`, both posted, with theirs, which
    // must have the same fields, and lists the conflicts. The rules: a unit changed on one side
    // takes that side; changed on both to equal values it is no conflict, to different ones it
    // is. Key, version and ignored columns stay theirs. Lines are matched by `lineKey`: added
    // on either side they are kept; deleted on one side and untouched on the other they go;
    // deleted against changed is a conflict; changed on both they merge field by field.
    // Throws DbError when the record sets do not fit (see linesHaveKeys).
    BillMerge(const Db::RecordSet& myMaster, const Db::RecordSet& myDetail,
              Db::RecordSet&& theirMaster, Db::RecordSet&& theirDetail, MergeOptions options);

    // Every line of mine, of its base and of theirs has a non-empty key, unique on its side.
    static bool linesHaveKeys(const Db::RecordSet& myDetail, const Db::RecordSet& theirDetail,
                              const QString& lineKey = QStringLiteral("uid"));

    std::vector<MergeConflict>& conflicts() { return m_conflicts; }
    const std::vector<MergeConflict>& conflicts() const { return m_conflicts; }

    // Rebases mine onto theirs with the conflicts' choices: theirs become the loaded rows (in
    // theirs' order, change logs empty), then the merged values are set as edits, lines only
    // mine has are appended in my order (every field set after the append, so insert defaults
    // do not stay) and lines removed are deleted. The change logs then hold exactly what still
    // has to be written over theirs. Views are told once, at the end; field-change handlers
    // (onDataChange) are held off, the values being data and not typing. Once only: it takes
    // theirs' rows.
    void apply(Db::RecordSet& myMaster, Db::RecordSet& myDetail);

private:
    // A value of mine to set, always or when its conflict is decided for mine.
    struct Edit {
        int field;
        QVariant value;
        int conflict = -1;
    };
    struct LineEdits {
        int pos;  // in theirs
        std::vector<Edit> edits;
    };
    // A line of theirs to delete, or a line only mine has to append, under the same condition.
    struct Removal {
        int pos;
        int conflict = -1;
    };
    struct Addition {
        std::vector<QVariant> values;
        int conflict = -1;
    };
    struct Unit {
        std::vector<int> fields;
        bool derived = false;
    };
    // A row of one side: the record set and the row handle; none when the side has no such row.
    struct Side {
        const Db::RecordSet* rs = nullptr;
        std::uint32_t row = 0;
        explicit operator bool() const { return rs != nullptr; }
    };

    // The fields merged, grouped: `groups` as units, the other fields one by one. `never` are
    // left out everywhere, `ignored` unless a group names them.
    std::vector<Unit> unitsOf(const Db::RecordSet& rs, const QList<QStringList>& groups,
                              const QStringList& never, const QStringList& ignored) const;
    void mergeFields(const std::vector<Unit>& units, Side base, Side mine, Side theirs,
                     const QString& uid, const QString& where, std::vector<Edit>& out);
    void mergeMaster(const Db::RecordSet& mine);
    void mergeLines(const Db::RecordSet& mine);
    // Kept against deleted: a conflict over the whole line; `mineDeleted` tells the sides.
    int lineConflict(const QString& uid, const QString& where, Side base, Side kept,
                     bool mineDeleted);
    QString caption(const Db::RecordSet& rs, int field) const;
    QString caption(const Db::RecordSet& rs, const Unit& unit) const;
    QString shown(Side side, const Unit& unit) const;
    QString lineWhere(int number, Side line) const;
    bool takesMine(int conflict) const;

    MergeOptions m_options;
    QHash<QString, QString> m_captions;  // by lower-case field name
    Db::RecordSet m_theirMaster;
    Db::RecordSet m_theirDetail;
    std::vector<MergeConflict> m_conflicts;
    std::vector<Edit> m_masterEdits;
    std::vector<LineEdits> m_lineEdits;
    std::vector<Removal> m_removals;
    std::vector<Addition> m_additions;
    bool m_applied = false;
};

}  // namespace Qd::Core::Bill
