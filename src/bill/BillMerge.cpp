#include "bill/BillMerge.h"

#include <QSet>
#include <algorithm>
#include <unordered_set>
#include <utility>

#include "db/DbError.h"

namespace Qd::Core::Bill {

using Db::RecordSet;

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

std::vector<std::uint32_t> currentRows(const RecordSet& rs) {
    std::vector<std::uint32_t> rows;
    rows.reserve(std::size_t(rs.recordCount()));
    for (int pos = 0; pos < rs.recordCount(); ++pos)
        rows.push_back(rs.rowAt(pos));
    return rows;
}

// The rows as they were loaded: the originals of the changed rows, and the rows not changed.
std::vector<std::uint32_t> baseRows(const RecordSet& rs) {
    std::vector<std::uint32_t> rows;
    std::unordered_set<std::uint32_t> changed;
    for (const Db::RowChange& c : rs.changes()) {
        changed.insert(c.row);
        if (c.kind != Db::ChangeKind::Inserted)
            rows.push_back(c.original);
    }
    for (int pos = 0; pos < rs.recordCount(); ++pos)
        if (!changed.count(rs.rowAt(pos)))
            rows.push_back(rs.rowAt(pos));
    return rows;
}

bool keysUnique(const RecordSet& rs, int key, const std::vector<std::uint32_t>& rows) {
    QSet<QString> seen;
    seen.reserve(qsizetype(rows.size()));
    for (std::uint32_t row : rows) {
        const QString k = rs.textAt(row, key);
        if (k.isEmpty() || seen.contains(k))
            return false;
        seen.insert(k);
    }
    return true;
}

void requireSameFields(const RecordSet& mine, const RecordSet& theirs) {
    bool same = mine.fieldCount() == theirs.fieldCount();
    for (int f = 0; same && f < mine.fieldCount(); ++f)
        same = mine.fieldDef(f).type == theirs.fieldDef(f).type &&
               mine.fieldDef(f).name.compare(theirs.fieldDef(f).name, Qt::CaseInsensitive) == 0;
    if (!same)
        throw Db::DbError(F("对方保存的单据与本单的字段不同，不能合并"));
}

void requirePosted(const RecordSet& rs) {
    if (!rs.active() || rs.state() != Db::DataSetState::Browse)
        throw Db::DbError(F("合并单据前须先提交正在编辑的记录"));
}

QString valueText(const RecordSet& rs, std::uint32_t row, int field) {
    if (rs.fieldDef(field).type == Db::FieldType::Boolean && !rs.isNullAt(row, field))
        return rs.intAt(row, field) ? F("是") : F("否");
    return rs.textAt(row, field);
}

std::vector<QVariant> rowValues(const RecordSet& rs, std::uint32_t row) {
    std::vector<QVariant> values;
    values.reserve(std::size_t(rs.fieldCount()));
    for (int f = 0; f < rs.fieldCount(); ++f)
        values.push_back(rs.valueAt(row, f));
    return values;
}

// Views hear of the bulk work once, at the end; field-change handlers not at all.
class HeldOff {
public:
    explicit HeldOff(RecordSet& rs) : m_rs(rs), m_onDataChange(std::exchange(rs.onDataChange, {})) {
        m_rs.disableControls();
    }
    ~HeldOff() {
        m_rs.onDataChange = std::move(m_onDataChange);
        m_rs.enableControls();
    }
    HeldOff(const HeldOff&) = delete;
    HeldOff& operator=(const HeldOff&) = delete;

private:
    RecordSet& m_rs;
    RecordSet::FieldEvent m_onDataChange;
};

// Theirs' rows become mine, under my field definitions (captions, flags the window set).
void rebase(RecordSet& mine, RecordSet& theirs) {
    for (int f = 0; f < mine.fieldCount(); ++f)
        theirs.fieldDef(f) = mine.fieldDef(f);
    mine.setData(std::move(theirs));
}

}  // namespace

BillMerge::BillMerge(const RecordSet& myMaster, const RecordSet& myDetail, RecordSet&& theirMaster,
                     RecordSet&& theirDetail, MergeOptions options)
    : m_options(std::move(options)),
      m_theirMaster(std::move(theirMaster)),
      m_theirDetail(std::move(theirDetail)) {
    requirePosted(myMaster);
    requirePosted(myDetail);
    requireSameFields(myMaster, m_theirMaster);
    requireSameFields(myDetail, m_theirDetail);
    if (myMaster.recordCount() != 1 || m_theirMaster.recordCount() != 1)
        throw Db::DbError(F("合并单据需要双方各有一条主单记录"));
    if (!linesHaveKeys(myDetail, m_theirDetail, m_options.lineKey))
        throw Db::DbError(F("明细行缺少唯一的 %1，不能合并").arg(m_options.lineKey));
    for (auto it = m_options.captions.cbegin(); it != m_options.captions.cend(); ++it)
        m_captions.insert(it.key().toLower(), it.value());
    mergeMaster(myMaster);
    mergeLines(myDetail);
}

bool BillMerge::linesHaveKeys(const RecordSet& myDetail, const RecordSet& theirDetail,
                              const QString& lineKey) {
    const int mine = myDetail.fieldIndex(lineKey);
    const int theirs = theirDetail.fieldIndex(lineKey);
    return mine >= 0 && theirs >= 0 && keysUnique(myDetail, mine, currentRows(myDetail)) &&
           keysUnique(myDetail, mine, baseRows(myDetail)) &&
           keysUnique(theirDetail, theirs, currentRows(theirDetail));
}

// ---- comparing ---------------------------------------------------------------------------------

std::vector<BillMerge::Unit> BillMerge::unitsOf(const RecordSet& rs,
                                                const QList<QStringList>& groups,
                                                const QStringList& never,
                                                const QStringList& ignored) const {
    std::vector<int> unitOf(std::size_t(rs.fieldCount()), -1);
    const auto named = [&](int f, const QStringList& names) {
        return names.contains(rs.fieldDef(f).name, Qt::CaseInsensitive);
    };
    std::vector<Unit> units;
    for (const QStringList& group : groups) {
        Unit unit;
        for (const QString& name : group) {
            const int f = rs.fieldIndex(name);
            if (f >= 0 && unitOf[std::size_t(f)] < 0 && !named(f, never)) {
                unitOf[std::size_t(f)] = int(units.size());
                unit.fields.push_back(f);
            }
        }
        if (!unit.fields.empty())
            units.push_back(std::move(unit));
    }
    for (int f = 0; f < rs.fieldCount(); ++f)
        if (unitOf[std::size_t(f)] < 0 && !named(f, never) && !named(f, ignored))
            units.push_back(Unit{{f}});
    for (Unit& unit : units)
        unit.derived = std::all_of(unit.fields.begin(), unit.fields.end(),
                                   [&](int f) { return named(f, m_options.derived); });
    // Conflicts follow the fields' order.
    std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
        return a.fields.front() < b.fields.front();
    });
    return units;
}

namespace {

template <typename Side>
bool differs(const std::vector<int>& fields, Side a, Side b) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](int f) { return !Db::sameValue(*a.rs, a.row, *b.rs, b.row, f); });
}

}  // namespace

// With no base (both sides added the line) every difference is a conflict.
void BillMerge::mergeFields(const std::vector<Unit>& units, Side base, Side mine, Side theirs,
                            const QString& uid, const QString& where, std::vector<Edit>& out) {
    for (const Unit& unit : units) {
        const bool mineChanged = !base || differs(unit.fields, base, mine);
        if (!mineChanged)
            continue;
        const bool theirsChanged = !base || differs(unit.fields, base, theirs);
        if (theirsChanged && (unit.derived || !differs(unit.fields, mine, theirs)))
            continue;
        int conflict = -1;
        if (theirsChanged) {
            conflict = int(m_conflicts.size());
            QStringList names;
            for (int f : unit.fields)
                names << mine.rs->fieldDef(f).name;
            m_conflicts.push_back({uid, names, where, caption(*mine.rs, unit),
                                   base ? shown(base, unit) : QString(), shown(mine, unit),
                                   shown(theirs, unit)});
        }
        for (int f : unit.fields)
            out.push_back({f, mine.rs->valueAt(mine.row, f), conflict});
    }
}

void BillMerge::mergeMaster(const RecordSet& mine) {
    const std::vector<std::uint32_t> base = baseRows(mine);
    const Side myRow{&mine, mine.rowAt(0)};
    const Side baseRow = base.empty() ? Side{} : Side{&mine, base.front()};
    const std::vector<Unit> units = unitsOf(
        mine, m_options.units, {m_options.keyField, m_options.versionField}, m_options.ignored);
    mergeFields(units, baseRow, myRow, {&m_theirMaster, m_theirMaster.rowAt(0)}, QString(),
                F("主单"), m_masterEdits);
}

void BillMerge::mergeLines(const RecordSet& mine) {
    const RecordSet& theirs = m_theirDetail;
    const int myKey = mine.fieldIndex(m_options.lineKey);
    const int theirKey = theirs.fieldIndex(m_options.lineKey);
    QHash<QString, std::uint32_t> base, current, theirRows;
    for (std::uint32_t row : baseRows(mine))
        base.insert(mine.textAt(row, myKey), row);
    for (std::uint32_t row : currentRows(mine))
        current.insert(mine.textAt(row, myKey), row);
    const auto find = [](const QHash<QString, std::uint32_t>& rows, const RecordSet& rs,
                         const QString& uid) {
        const auto it = rows.constFind(uid);
        return it == rows.cend() ? Side{} : Side{&rs, *it};
    };

    std::vector<int> allFields(std::size_t(mine.fieldCount()));
    for (int f = 0; f < mine.fieldCount(); ++f)
        allFields[std::size_t(f)] = f;
    const std::vector<Unit> units = unitsOf(mine, m_options.lineUnits, {m_options.lineKey}, {});

    // Theirs' lines in their order: changed here, deleted here, or kept as they are.
    for (int pos = 0; pos < theirs.recordCount(); ++pos) {
        const Side their{&theirs, theirs.rowAt(pos)};
        const QString uid = theirs.textAt(their.row, theirKey);
        theirRows.insert(uid, their.row);
        const Side myLine = find(current, mine, uid);
        const Side baseLine = find(base, mine, uid);
        if (myLine) {
            std::vector<Edit> edits;
            mergeFields(units, baseLine, myLine, their, uid, lineWhere(pos + 1, myLine), edits);
            if (!edits.empty())
                m_lineEdits.push_back({pos, std::move(edits)});
        } else if (baseLine) {
            const bool theirsChanged = differs(allFields, baseLine, their);
            m_removals.push_back({pos, theirsChanged ? lineConflict(uid, lineWhere(pos + 1, their),
                                                                    baseLine, their, true)
                                                     : -1});
        }
    }
    // Then the lines only mine has, in my order: added here, or changed here and deleted there.
    for (int pos = 0; pos < mine.recordCount(); ++pos) {
        const Side myLine{&mine, mine.rowAt(pos)};
        const QString uid = mine.textAt(myLine.row, myKey);
        if (theirRows.contains(uid))
            continue;
        const Side baseLine = find(base, mine, uid);
        if (baseLine && !differs(allFields, baseLine, myLine))
            continue;
        const int number = theirs.recordCount() + int(m_additions.size()) + 1;
        m_additions.push_back(
            {rowValues(mine, myLine.row),
             baseLine ? lineConflict(uid, lineWhere(number, myLine), baseLine, myLine, false)
                      : -1});
    }
}

int BillMerge::lineConflict(const QString& uid, const QString& where, Side base, Side kept,
                            bool mineDeleted) {
    QStringList fields, before, after;
    for (int f = 0; f < kept.rs->fieldCount(); ++f) {
        if (Db::sameValue(*base.rs, base.row, *kept.rs, kept.row, f))
            continue;
        fields << kept.rs->fieldDef(f).name;
        const QString name = caption(*base.rs, f) + QLatin1Char('=');
        before << name + valueText(*base.rs, base.row, f);
        after << name + valueText(*kept.rs, kept.row, f);
    }
    const QString deleted = F("（已删除）");
    const QString changed = after.join(F("；"));
    m_conflicts.push_back({uid, fields, where, F("删除/修改"), before.join(F("；")),
                           mineDeleted ? deleted : changed, mineDeleted ? changed : deleted});
    return int(m_conflicts.size()) - 1;
}

// ---- texts -------------------------------------------------------------------------------------

QString BillMerge::caption(const RecordSet& rs, int field) const {
    return m_captions.value(rs.fieldDef(field).name.toLower(), rs.fieldDef(field).label());
}

// The first caption given for a field of the unit (a lookup may be named by its key or by the
// name it shows), else the key's label.
QString BillMerge::caption(const RecordSet& rs, const Unit& unit) const {
    for (int f : unit.fields)
        if (const auto it = m_captions.constFind(rs.fieldDef(f).name.toLower());
            it != m_captions.cend())
            return *it;
    return rs.fieldDef(unit.fields.front()).label();
}

// A unit shows the texts of the fields its key fills (a name, not an id) where they have any.
QString BillMerge::shown(Side side, const Unit& unit) const {
    QStringList texts;
    for (std::size_t i = 1; i < unit.fields.size(); ++i)
        if (const QString t = valueText(*side.rs, side.row, unit.fields[i]); !t.isEmpty())
            texts << t;
    return texts.isEmpty() ? valueText(*side.rs, side.row, unit.fields.front()) : texts.join(' ');
}

QString BillMerge::lineWhere(int number, Side line) const {
    QString where = F("明细 %1").arg(number);
    if (const int f = line.rs->fieldIndex(m_options.lineCaption);
        f >= 0 && !m_options.lineCaption.isEmpty())
        if (const QString text = valueText(*line.rs, line.row, f); !text.isEmpty())
            where += QLatin1Char(' ') + text;
    return where;
}

// ---- rebasing ----------------------------------------------------------------------------------

bool BillMerge::takesMine(int conflict) const {
    return conflict < 0 || m_conflicts[std::size_t(conflict)].choice == MergeSide::Mine;
}

void BillMerge::apply(RecordSet& myMaster, RecordSet& myDetail) {
    if (m_applied)
        throw Db::DbError(F("单据合并的结果已经应用"));
    m_applied = true;
    const HeldOff quietMaster(myMaster);
    const HeldOff quietDetail(myDetail);
    const auto setEdits = [this](RecordSet& rs, const std::vector<Edit>& edits) {
        const bool any = std::any_of(edits.begin(), edits.end(),
                                     [this](const Edit& e) { return takesMine(e.conflict); });
        if (!any)
            return;
        rs.edit();
        for (const Edit& e : edits)
            if (takesMine(e.conflict))
                rs.field(e.field).setValue(e.value);
        rs.post();
    };

    rebase(myMaster, m_theirMaster);
    setEdits(myMaster, m_masterEdits);

    rebase(myDetail, m_theirDetail);
    for (const LineEdits& line : m_lineEdits) {
        myDetail.moveTo(line.pos);
        setEdits(myDetail, line.edits);
    }
    // From the last up, so that the positions of the others stay.
    for (auto it = m_removals.rbegin(); it != m_removals.rend(); ++it) {
        if (!takesMine(it->conflict))
            continue;
        myDetail.moveTo(it->pos);
        myDetail.deleteRecord();
    }
    for (const Addition& line : m_additions) {
        if (!takesMine(line.conflict))
            continue;
        myDetail.append();
        for (int f = 0; f < myDetail.fieldCount(); ++f)
            myDetail.field(f).setValue(line.values[std::size_t(f)]);
        myDetail.post();
    }
    myDetail.first();
}

}  // namespace Qd::Core::Bill
