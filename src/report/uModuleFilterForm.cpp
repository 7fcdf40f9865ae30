#include "report/uModuleFilterForm.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTimer>

#include "base/Dispatch.h"
#include "base/Prompter.h"
#include "report/ListSearch.h"
#include "sys/uPlugItem.h"
#include "ui/grid/Grid.h"

namespace Qd::Core::Report {

namespace {

// The sort applied outside the derived table: each term without its table qualifier
// ("t1.code" -> "code"), since the derived table's columns carry the bare names.
QString outerSort(const QString& sort) {
    QStringList terms;
    for (QString term : sort.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        term = term.trimmed();
        const qsizetype dot = term.indexOf(QLatin1Char('.'));
        const qsizetype space = term.indexOf(QLatin1Char(' '));
        if (dot >= 0 && (space < 0 || dot < space))
            term = term.mid(dot + 1);
        terms << term;
    }
    return terms.join(QStringLiteral(", "));
}

}  // namespace

TModuleFilterForm::TModuleFilterForm(QWidget* AOwner, Sys::TPlugItem* Data, TFilterModel model)
    : TBasicFilterForm(AOwner, Data, model), m_searchTimer(new QTimer(this)) {
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(kSearchDelayMs);
    connect(m_searchTimer, &QTimer::timeout, this,
            [this] { Sys::dispatch([this] { searchNow(); }); });
}

void TModuleFilterForm::LocateData() {
    m_searchTimer->start();
}

bool TModuleFilterForm::searchPending() const {
    return m_searchTimer->isActive();
}

void TModuleFilterForm::searchNow() {
    m_searchTimer->stop();
    const ListSearch search = listSearch(cdsMain.active() ? cdsMain.fieldNames() : QStringList(),
                                         QStringLiteral("q."), edtQuickSearch->text());
    if (search.isEmpty()) {
        TBasicFilterForm::refreshList();
        return;
    }
    // The list statement keeps its category condition; the search goes around it as a derived
    // table, so that its column names cannot meet those of joined tables (a category's "code").
    const QString mainsql = filterInfo.value(QStringLiteral("mainsql")).toString();
    if (mainsql.trimmed().isEmpty())
        return;
    QJsonObject statement{{QStringLiteral("mainsql"),
                           QStringLiteral("select * from (") + mainsql + QStringLiteral("\r\n") +
                               categoryCondition() + QStringLiteral(") q where 1=1")}};
    const QString sort = pluginfo.value(QStringLiteral("sort")).toString();
    if (!sort.trimmed().isEmpty())
        statement.insert(QStringLiteral("sort"), outerSort(sort));
    loadList(statement, search.condition, search.params);
}

void TModuleFilterForm::refreshList() {
    searchNow();
}

void TModuleFilterForm::seedSearch(const QString& text) {
    edtQuickSearch->setText(text);
    if (!text.isEmpty())
        searchNow();
}

void TModuleFilterForm::quickSearchEntered() {
    if (searchPending())
        searchNow();
    if (!QuickSearch())
        TBasicFilterForm::quickSearchEntered();
}

QString pickModuleRows(QWidget* owner, Sys::TPlugItem& item, const QString& text,
                       const QString& options) {
    const QJsonObject o = QJsonDocument::fromJson(options.toUtf8()).object();
    const TFilterModel model =
        o.value(QStringLiteral("model")).toString() == QLatin1String("single") ? fmSingle : fmMulti;
    TModuleFilterForm picker(owner, &item, model);
    picker.seedSearch(text);
    if (Ui::prompter().exec(picker) != QDialog::Accepted)
        return QString();
    return picker.FreturnJson;
}

void registerFrameworkPickers() {
    for (const char* formClass : {"TSingleBasicRibbonForm", "TMultiBasicRibbonForm"})
        Sys::TPlugsPool::registerSelectEntry(QString::fromLatin1(formClass), &pickModuleRows);
}

}  // namespace Qd::Core::Report
