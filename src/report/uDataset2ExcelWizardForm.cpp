#include "report/uDataset2ExcelWizardForm.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "base/SafeName.h"
#include "core/Messages.h"
#include "sys/SystemServices.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

QString F(const char* text) {
    return QString::fromUtf8(text);
}

// A field's width in the list when no column of the grid gives one, in pixels as a column's.
constexpr int kDefaultFieldWidth = 100;

// The fields of mdColumns, in the order they are added.
enum ListField { lfId, lfFieldName, lfCaption, lfLength, lfChecked };

QVBoxLayout* pageLayout(Ui::WizardPage* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

// A group of radio buttons, one per caption, the `preselected` one checked.
QGroupBox* optionGroup(QWidget* parent, const QString& title, const QStringList& captions,
                       int preselected, QList<QRadioButton*>& buttons) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->setSpacing(14);
    auto* exclusive = new QButtonGroup(group);
    for (const QString& caption : captions) {
        auto* rb = new QRadioButton(caption, group);
        exclusive->addButton(rb);
        layout->addWidget(rb);
        buttons << rb;
    }
    buttons[preselected]->setChecked(true);
    layout->addStretch(1);
    return group;
}

}  // namespace

const QList<ExportChoice>& Tdataset2excelwizardform::exportChoices() {
    static const QList<ExportChoice> choices = {
        {"Microsoft Excel 97-2003 工作表 (.xls)", "*.xls", "xls", Ui::ExportFormat::Xls},
        {"Microsoft Excel 工作表 (.xlsx)", "*.xlsx", "xlsx", Ui::ExportFormat::Xlsx},
        {"CSV文件 (.csv)", "*.csv", "csv", Ui::ExportFormat::Csv},
        {"网页格式 (.html)", "*.html", "html", Ui::ExportFormat::Html},
    };
    return choices;
}

QString Tdataset2excelwizardform::proposedFileName(const QString& filename, const QDate& day) {
    // A date format such as "yyyy/MM/dd" must give a date in the name, not folders.
    QString date = day.toString(Sys::VaGlobalmtSettings().dateFormat);
    for (QChar& c : date)
        if (QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'-';
    return Sys::safeFileName(filename + u'_' + date);
}

Tdataset2excelwizardform::Tdataset2excelwizardform(QWidget* AOwner, Ui::Grid* _grid,
                                                   const QString& _filename)
    : TBaseForm(AOwner), _grid(_grid), _filename(_filename) {
    setObjectName(F("Tdataset2excelwizardform"));
    setWindowTitle(F("导出向导"));
    resize(760, 500);

    Ui::GridView* first = _grid ? _grid->view(0) : nullptr;
    FDataSet = first ? first->recordSet() : nullptr;

    mdColumns.addField(F("id"), Db::FieldType::Integer);
    mdColumns.addField(F("fieldname"), Db::FieldType::Text, 50);
    mdColumns.addField(F("caption"), Db::FieldType::Text, 50);
    mdColumns.addField(F("length"), Db::FieldType::Integer);
    mdColumns.addField(F("checked"), Db::FieldType::Boolean);
    mdColumns.setLogChanges(false);
    mdColumns.createDataSet();

    dxWizardControl1 = new Ui::WizardControl(F("dxWizardControl1"), this);
    buildSourcePage(dxWizardControl1->addPage(F("选择按从哪个数据源导出")));
    buildColumnsPage(dxWizardControl1->addPage(F("选择要导出的列")));
    buildPreviewPage(dxWizardControl1->addPage(F("导出数据预览")));
    buildFormatPage(dxWizardControl1->addPage(F("选择要导出的格式")));
    dxWizardControl1->setPageVisible(pgColumns, false);
    dxWizardControl1->setPageVisible(pgPreview, false);
    connect(dxWizardControl1, &Ui::WizardControl::buttonClick, this,
            [this](Ui::WizardControl::Button kind, bool* handled) {
                Sys::dispatch([&] { dxWizardControl1ButtonClick(kind, handled); });
            });
    connect(dxWizardControl1, &Ui::WizardControl::pageChanged, this,
            [this](int index) { Sys::dispatch([&] { dxWizardControl1PageChanged(index); }); });

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->addWidget(dxWizardControl1);

    FormCreate();
}

Tdataset2excelwizardform::~Tdataset2excelwizardform() {
    // The views let go of the record sets before mdColumns (a member) goes.
    cxgColumnsView->setRecordSet(nullptr);
    cxgPreviewView->setRecordSet(nullptr);
}

void Tdataset2excelwizardform::buildSourcePage(Ui::WizardPage* page) {
    QList<QRadioButton*> sources;
    pageLayout(page)->addWidget(
        optionGroup(page, F("请选择："), {F("从表格数据导出"), F("从数据源导出")}, 0, sources));
    rbFromGrid = sources[0];
    rbFromDataSet = sources[1];
}

void Tdataset2excelwizardform::buildColumnsPage(Ui::WizardPage* page) {
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(new QLabel(F("可导出列："), page));
    cxgColumns = new Ui::Grid(F("cxgColumns"), page);
    cxgColumnsView = cxgColumns->addLevel(F("cxgColumnsDBTableView1"));
    cxgColumnsView->addFieldColumn(F("id"), F("序号"), 50);
    cxgColumnsView->addFieldColumn(F("fieldname"), F("字段名"), 130);
    cxgColumnsView->addFieldColumn(F("caption"), F("标题"), 170, Ui::EditorKind::Text, true);
    cxgColumnsView->addFieldColumn(F("length"), F("长度"), 60, Ui::EditorKind::Integer);
    cxgColumnsView->addFieldColumn(F("checked"), F("选择"), 50, Ui::EditorKind::Check, true);
    cxgColumnsView->setRecordSet(&mdColumns);
    cxgColumnsView->applyColumns();
    layout->addWidget(cxgColumns, 1);

    btnSelectAll = new QPushButton(F("全部选择"), page);
    btnSelectNone = new QPushButton(F("全部取消"), page);
    connect(btnSelectAll, &QPushButton::clicked, this,
            [this] { Sys::dispatch([this] { checkAllColumns(true); }); });
    connect(btnSelectNone, &QPushButton::clicked, this,
            [this] { Sys::dispatch([this] { checkAllColumns(false); }); });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnSelectAll, btnSelectNone})
        b->setAutoDefault(false);  // Enter in the list is no click on them
    buttons->addWidget(btnSelectAll);
    buttons->addWidget(btnSelectNone);
    buttons->addStretch(1);
    layout->addLayout(buttons);
}

void Tdataset2excelwizardform::buildPreviewPage(Ui::WizardPage* page) {
    QVBoxLayout* layout = pageLayout(page);
    layout->addWidget(new QLabel(F("预览导出的数据表："), page));
    cxgPreview = new Ui::Grid(F("cxgPreview"), page);
    cxgPreviewView = cxgPreview->addLevel(F("cxgPreviewDBTableView1"));
    // The preview shows the caller's own record set: it edits nothing, and it does not sort,
    // which would reorder the caller's grid as well.
    cxgPreviewView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxgPreviewView->horizontalHeader()->setSectionsClickable(false);
    cxgPreviewView->setRecordSet(FDataSet);
    layout->addWidget(cxgPreview, 1);
}

void Tdataset2excelwizardform::buildFormatPage(Ui::WizardPage* page) {
    QStringList captions;
    for (const ExportChoice& choice : exportChoices())
        captions << F(choice.caption);
    pageLayout(page)->addWidget(optionGroup(page, F("选择导出格式"), captions, 1, rbFormats));
}

bool Tdataset2excelwizardform::exportsFromDataSet() const {
    return rbFromDataSet->isChecked();
}

const ExportChoice& Tdataset2excelwizardform::chosenFormat() const {
    for (int i = 0; i < rbFormats.size(); ++i)
        if (rbFormats[i]->isChecked())
            return exportChoices()[i];
    return exportChoices()[1];
}

Ui::GridView* Tdataset2excelwizardform::exportSource() const {
    return exportsFromDataSet() ? cxgPreviewView : (_grid ? _grid->view(0) : nullptr);
}

bool Tdataset2excelwizardform::dataSetOpen() const {
    return FDataSet && FDataSet->active();
}

void Tdataset2excelwizardform::dxWizardControl1ButtonClick(Ui::WizardControl::Button AKind,
                                                           bool* AHandled) {
    const bool fromDataSet = exportsFromDataSet();
    dxWizardControl1->setPageVisible(pgColumns, fromDataSet);
    dxWizardControl1->setPageVisible(pgPreview, fromDataSet);
    switch (AKind) {
        case Ui::WizardControl::Button::Cancel:
            *AHandled = true;
            done(QDialog::Rejected);
            break;
        case Ui::WizardControl::Button::Finish:
            *AHandled = true;
            doExport();
            break;
        default:
            break;
    }
}

void Tdataset2excelwizardform::dxWizardControl1PageChanged(int index) {
    if (index == pgColumns && !FColumnsBuilt) {
        FColumnsBuilt = true;
        buildColumnList();
    } else if (index == pgPreview) {
        buildPreviewColumns();
    }
}

// One row per field of the record set, in field order: its position, name and display label,
// the default width, checked. A column of the grid's first view on the field gives its caption
// and width; the field stays checked only when that column is shown, so the grid's visible
// columns come preselected and the rest are offered unselected.
void Tdataset2excelwizardform::buildColumnList() {
    if (!dataSetOpen())
        Base::showError(F("无效数据源"));
    Ui::GridView* gridView = _grid ? _grid->view(0) : nullptr;
    mdColumns.disableControls();
    mdColumns.emptyDataSet();
    const int fields = FDataSet ? FDataSet->fieldCount() : 0;
    for (int i = 0; i < fields; ++i) {
        const Db::FieldDef& def = FDataSet->fieldDef(i);
        const Ui::GridColumn* column = gridView ? gridView->columnByField(def.name) : nullptr;
        mdColumns.append();
        mdColumns.field(lfId).setValue(i + 1);
        mdColumns.field(lfFieldName).setValue(def.name);
        mdColumns.field(lfCaption).setValue(column && !column->caption.isEmpty() ? column->caption
                                                                                 : def.label());
        mdColumns.field(lfLength).setValue(column ? column->width : kDefaultFieldWidth);
        mdColumns.field(lfChecked).setValue(column && column->visible);
        mdColumns.post();
    }
    mdColumns.first();
    mdColumns.enableControls();
}

void Tdataset2excelwizardform::buildPreviewColumns() {
    mdColumns.checkBrowseMode();
    cxgPreviewView->clearColumns();
    for (int pos = 0; pos < mdColumns.recordCount(); ++pos) {
        const std::uint32_t row = mdColumns.rowAt(pos);
        if (mdColumns.intAt(row, lfChecked) == 0)
            continue;
        cxgPreviewView->addFieldColumn(mdColumns.textAt(row, lfFieldName),
                                       mdColumns.textAt(row, lfCaption),
                                       int(mdColumns.intAt(row, lfLength)));
    }
    cxgPreviewView->applyColumns();
}

void Tdataset2excelwizardform::checkAllColumns(bool on) {
    mdColumns.checkBrowseMode();
    const Db::Bookmark current = mdColumns.bookmark();
    mdColumns.disableControls();
    for (mdColumns.first(); !mdColumns.eof(); mdColumns.next()) {
        mdColumns.edit();
        mdColumns.field(lfChecked).setValue(on);
        mdColumns.post();
    }
    if (mdColumns.bookmarkValid(current))
        mdColumns.gotoBookmark(current);
    mdColumns.enableControls();
}

bool Tdataset2excelwizardform::doExport() {
    if (!dataSetOpen()) {
        Base::showError(F("无效数据源"));
        return false;
    }
    const ExportChoice& choice = chosenFormat();
    const QString path = Ui::prompter().saveFileName(
        F("导出"), proposedFileName(_filename, QDate::currentDate()),
        Ui::qtFileFilter(F(choice.caption) + u'|' + F(choice.pattern)), F(choice.extension));
    if (path.isEmpty())
        return false;
    QString error;
    switch (Ui::exportGrid(*exportSource(), path, choice.format, &error)) {
        case Ui::ExportOutcome::Written:
            Base::showHint(F("导出成功"));
            done(QDialog::Accepted);
            return true;
        case Ui::ExportOutcome::Cancelled:
            return false;
        case Ui::ExportOutcome::Failed:
            Base::showError(F("导出失败：") + error);
            return false;
    }
    return false;
}

}  // namespace Qd::Core::Report
