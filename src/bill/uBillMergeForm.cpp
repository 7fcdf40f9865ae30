#include "bill/uBillMergeForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Prompter.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Bill {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

QString sideText(MergeSide side) {
    return side == MergeSide::Mine ? F("我的") : F("对方的");
}

struct ConflictColumn {
    const char* field;
    const char* caption;
    int width;
};

constexpr ConflictColumn kColumns[] = {
    {"where", "位置", 130}, {"what", "字段", 100},     {"base", "原值", 150},
    {"mine", "我的", 150},  {"theirs", "对方的", 150}, {"choice", "保留", 70},
};

}  // namespace

TBillMergeForm::TBillMergeForm(QWidget* AOwner, std::vector<MergeConflict>& conflicts)
    : TBaseForm(AOwner), m_conflicts(conflicts) {
    setObjectName(F("TBillMergeForm"));
    setWindowTitle(F("合并冲突"));
    resize(820, 360);

    for (const ConflictColumn& c : kColumns)
        cdsConflicts.addField(F(c.field), Db::FieldType::Text);
    cdsConflicts.createDataSet();
    cdsConflicts.setLogChanges(false);
    m_choiceField = cdsConflicts.fieldIndex(F("choice"));
    for (const MergeConflict& c : m_conflicts) {
        cdsConflicts.append();
        const QString values[] = {c.where, c.what, c.base, c.mine, c.theirs, sideText(c.choice)};
        for (int f = 0; f < cdsConflicts.fieldCount(); ++f)
            cdsConflicts.field(f).setValue(values[f]);
        cdsConflicts.post();
    }
    cdsConflicts.first();

    actAllMine = new QAction(F("全部用我的"), this);
    connect(actAllMine, &QAction::triggered, this, [this] { chooseAll(MergeSide::Mine); });
    actAllTheirs = new QAction(F("全部用对方的"), this);
    connect(actAllTheirs, &QAction::triggered, this, [this] { chooseAll(MergeSide::Theirs); });
    actok = new QAction(F("确定"), this);
    connect(actok, &QAction::triggered, this, &TBillMergeForm::actokExecute);
    actcancel = new QAction(F("取消"), this);
    connect(actcancel, &QAction::triggered, this, [this] { done(QDialog::Rejected); });
    actList << actAllMine << actAllTheirs << actok << actcancel;

    lblHint = new QLabel(
        F("其他用户已修改并保存了该单据。以下内容双方都作了修改，请逐项选择保留哪一方的值："),
        this);
    lblHint->setWordWrap(true);

    cxgConflicts = new Ui::Grid(F("cxgConflicts"), this);
    cxgConflictsView = cxgConflicts->addLevel(F("cxgConflictsDBTableView1"));
    for (const ConflictColumn& c : kColumns) {
        const bool choice = QLatin1String(c.field) == QLatin1String("choice");
        Ui::GridColumn* column = cxgConflictsView->addFieldColumn(
            F(c.field), F(c.caption), c.width,
            choice ? Ui::EditorKind::Combo : Ui::EditorKind::Text, choice);
        if (choice)
            column->props.items = {sideText(MergeSide::Mine), sideText(MergeSide::Theirs)};
    }
    cxgConflictsView->setTextElideMode(Qt::ElideRight);

    QHBoxLayout* buttons = Base::closingButtons(this, actok, actcancel);
    buttons->insertWidget(0, Base::buttonFor(actAllMine, this));
    buttons->insertWidget(1, Base::buttonFor(actAllTheirs, this));
    auto* main = new QVBoxLayout(this);
    main->addWidget(lblHint);
    main->addWidget(cxgConflicts, 1);
    main->addLayout(buttons);

    FormCreate();
    cxgConflictsView->setRecordSet(&cdsConflicts);
    cxgConflictsView->applyColumns();
}

TBillMergeForm::~TBillMergeForm() {
    cxgConflictsView->setRecordSet(nullptr);
}

void TBillMergeForm::chooseAll(MergeSide side) {
    cdsConflicts.checkBrowseMode();
    const int pos = cdsConflicts.recNo();
    cdsConflicts.disableControls();
    for (int i = 0; i < cdsConflicts.recordCount(); ++i) {
        cdsConflicts.moveTo(i);
        cdsConflicts.edit();
        cdsConflicts.field(m_choiceField).setValue(sideText(side));
        cdsConflicts.post();
    }
    cdsConflicts.moveTo(pos);
    cdsConflicts.enableControls();
}

void TBillMergeForm::actokExecute() {
    cdsConflicts.checkBrowseMode();
    const QString theirs = sideText(MergeSide::Theirs);
    for (int i = 0; i < cdsConflicts.recordCount(); ++i)
        m_conflicts[std::size_t(i)].choice =
            cdsConflicts.textAt(cdsConflicts.rowAt(i), m_choiceField) == theirs ? MergeSide::Theirs
                                                                                : MergeSide::Mine;
    done(QDialog::Accepted);
}

bool resolveConflicts(QWidget* owner, std::vector<MergeConflict>& conflicts) {
    TBillMergeForm dialog(owner, conflicts);
    return Ui::prompter().exec(dialog) == QDialog::Accepted;
}

}  // namespace Qd::Core::Bill
