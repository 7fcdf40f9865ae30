#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

#include "print/engine/Engine.h"
#include "print/engine/Template.h"

namespace Qd::Core::Db {
class RecordSet;
}

namespace Qd::Core::Fr4 {

class TDataSetCollection;

// A record set handed to printing under the name templates see it by ("表头数据", "列表").
class TDataSetCollectionItem {
public:
    TDataSetCollectionItem() = default;
    // The module code is accepted and not kept.
    TDataSetCollectionItem(TDataSetCollection* Collection, const QString& _userName,
                           const QString& _modelCode, Db::RecordSet* _dataSet);

    Db::RecordSet* Fdataset = nullptr;  // not owned; an item without one is skipped
    QString FuserName;
};

// The record sets a caller hands to the print dialog; owned by the caller.
class TDataSetCollection {
public:
    TDataSetCollectionItem& Add();
    TDataSetCollectionItem& GetItem(int Index);
    void SetItem(int Index, const TDataSetCollectionItem& Value);
    int Count() const { return int(m_items.size()); }

private:
    std::vector<std::unique_ptr<TDataSetCollectionItem>> m_items;
};

// A record set as the report engine reads it: its records in their current order.
class RecordSetDataset : public Print::IDataset {
public:
    explicit RecordSetDataset(const Db::RecordSet& rs) : m_rs(rs) {}
    int rowCount() const override;
    QStringList fieldNames() const override;
    QVariant value(int row, const QString& field) const override;
    int fieldIndex(const QString& field) const override;
    QVariant valueAt(int row, int column) const override;

private:
    const Db::RecordSet& m_rs;
};

// What a print job reads: the collection's record sets under their names, the functions and
// the variables. Keeps the dataset adapters alive for as long as it lives.
class PrintData {
public:
    explicit PrintData(const TDataSetCollection& datasets);
    Print::ReportData& data() { return m_data; }

    // Registers MoneyCn and MoneyCn_2 under the category "Myfunction" with their declarations
    // and descriptions; calls are matched without regard to letter case.
    void _AddUserFunc();
    // Drops the template's own variables and sets the global ones (company, address, phone,
    // footer, user and store) and the caller's user variables, in that order. A user variable
    // named like a global one is listed beside it under "模块变量"; a template naming it reads
    // the global one, which comes first.
    void _AddVariables(Print::ReportTemplate& tmpl,
                       const QList<QPair<QString, QString>>& userVariables = {});

private:
    Print::ReportData m_data;
    std::vector<std::unique_ptr<RecordSetDataset>> m_adapters;
};

// A text as an engine string literal: between single quotes, each quote inside doubled.
QString quotedLiteral(const QString& text);

}  // namespace Qd::Core::Fr4
