#include "print/uDataSetCollection.h"

#include <cmath>

#include "db/RecordSet.h"
#include "print/engine/Expression.h"
#include "sys/SystemServices.h"

namespace Qd::Core::Fr4 {

TDataSetCollectionItem::TDataSetCollectionItem(TDataSetCollection*, const QString& _userName,
                                               const QString&, Db::RecordSet* _dataSet)
    : Fdataset(_dataSet), FuserName(_userName) {}

TDataSetCollectionItem& TDataSetCollection::Add() {
    m_items.push_back(std::make_unique<TDataSetCollectionItem>());
    return *m_items.back();
}

TDataSetCollectionItem& TDataSetCollection::GetItem(int Index) {
    return *m_items.at(std::size_t(Index));
}

void TDataSetCollection::SetItem(int Index, const TDataSetCollectionItem& Value) {
    *m_items.at(std::size_t(Index)) = Value;
}

int RecordSetDataset::rowCount() const {
    return m_rs.active() ? m_rs.recordCount() : 0;
}

QStringList RecordSetDataset::fieldNames() const {
    return m_rs.fieldNames();
}

QVariant RecordSetDataset::value(int row, const QString& field) const {
    return valueAt(row, fieldIndex(field));
}

int RecordSetDataset::fieldIndex(const QString& field) const {
    return m_rs.fieldIndex(field);
}

QVariant RecordSetDataset::valueAt(int row, int column) const {
    if (column < 0 || row < 0 || row >= rowCount())
        return QVariant();
    return m_rs.valueAt(m_rs.rowAt(row), column);
}

QString quotedLiteral(const QString& text) {
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

PrintData::PrintData(const TDataSetCollection& datasets) {
    for (int i = 0; i < datasets.Count(); ++i) {
        const TDataSetCollectionItem& item = const_cast<TDataSetCollection&>(datasets).GetItem(i);
        if (!item.Fdataset)
            continue;
        item.Fdataset->finishPendingRows();  // a report prints every row
        m_adapters.push_back(std::make_unique<RecordSetDataset>(*item.Fdataset));
        m_data.addDataset(item.FuserName, m_adapters.back().get());
    }
}

namespace {
// The first argument as a currency amount: fixed point with four decimal places.
double currency(const QVariantList& args) {
    const double v = args.isEmpty() ? 0.0 : args[0].toDouble();
    return std::round(v * 10000.0) / 10000.0;
}
}  // namespace

void PrintData::_AddUserFunc() {
    m_data.addFunction(
        {QStringLiteral("MoneyCn"), QStringLiteral("function MoneyCn(mmje: Currency): String;"),
         QStringLiteral("Myfunction"), QStringLiteral("小写金额转大写的函数"),
         [](const QVariantList& a) { return QVariant(Print::MoneyCn(currency(a))); }});
    m_data.addFunction(
        {QStringLiteral("MoneyCn_2"), QStringLiteral("function MoneyCn_2(Money:Currency): String;"),
         QStringLiteral("Myfunction"), QStringLiteral("小写金额转大写的函数(纯数字转换)"),
         [](const QVariantList& a) { return QVariant(Print::MoneyCn_2(currency(a))); }});
}

void PrintData::_AddVariables(Print::ReportTemplate& tmpl,
                              const QList<QPair<QString, QString>>& userVariables) {
    tmpl.variables.clear();  // variables stored in the template file are dropped
    m_data.clearVariables();
    const Sys::TAuth* auth = Sys::sysAuth();
    Sys::TSysConfigCache& config = Sys::SysConfigCache();
    const QString global = QStringLiteral("全局变量");
    m_data.setVariable(global, QStringLiteral("公司名称"), quotedLiteral(config.get("company")));
    m_data.setVariable(global, QStringLiteral("地址"), quotedLiteral(config.get("addr")));
    m_data.setVariable(global, QStringLiteral("电话"), quotedLiteral(config.get("tel")));
    // The footer is an expression of its own, handed over as configured.
    m_data.setVariable(global, QStringLiteral("通用页尾"), config.get("footer"));
    m_data.setVariable(global, QStringLiteral("当前登录用户编号"),
                       quotedLiteral(auth ? auth->userCode : QString()));
    m_data.setVariable(global, QStringLiteral("当前登录用户姓名"),
                       quotedLiteral(auth ? auth->userName : QString()));
    m_data.setVariable(global, QStringLiteral("所在仓库编号"),
                       quotedLiteral(auth ? auth->storeCode : QString()));
    m_data.setVariable(global, QStringLiteral("所在仓库名称"),
                       quotedLiteral(auth ? auth->storeName : QString()));
    for (const auto& [name, text] : userVariables)
        m_data.setVariable(QStringLiteral("模块变量"), name, quotedLiteral(text));
}

}  // namespace Qd::Core::Fr4
