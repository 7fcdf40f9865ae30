#pragma once

#include <QString>
#include <map>
#include <memory>

#include "db/RecordSet.h"

namespace Qd::Core::Bill {

// One column setting of a bill's detail grid, as a store keeps it.
class TcustBIllRuleGridConfig {
public:
    QString Fcusttitle;     // caption shown for the column
    int Fdecimalcount = 0;  // decimal places
    QString Fdeftitle;      // the descriptor's label, shown in the options dialog
    QString Fdispformat;    // display format
    bool Fdisplay = true;   // column visible
    QString Ffieldname;     // the detail field; the key of the map
    QString Ffieldtype;  // "默认", "字符", "整数", "小数", "金额", "日期" or "文件"
};

// A store's rule for one bill module: the bill's name, its numbering settings, the switches
// and the detail grid's column settings. The store's row of qd_sys_billnorule_user is copied
// from the module's default (qd_sys_billnorule) on first use.
class TCustBillRule {
public:
    // Switch positions of Fflag (1-based).
    static constexpr int kFlagLength = 30;
    static constexpr int kOpenInAddMode = 1;
    static constexpr int kAuditAfterSave = 2;
    static constexpr int kAuditAfterPrint = 3;

    explicit TCustBillRule(const QString& _billcode);
    ~TCustBillRule();
    TCustBillRule(const TCustBillRule&) = delete;
    TCustBillRule& operator=(const TCustBillRule&) = delete;

    // Reads the store's rule, creating its row from the module's default when there is none.
    void initData();
    // Writes the fields into the store's row; true when it was written (or already held them).
    bool save();

    // True when the switch at `pos` (1-based) is on; false past the flag's end.
    bool switchOn(int pos) const;
    // The setting of a detail field; null when the store keeps none.
    const TcustBIllRuleGridConfig* gridConfig(const QString& field) const;

    // False when the rule could not be read (the error was shown): the fields are empty and
    // every switch is off; such a rule is not saved.
    bool loaded() const { return m_loaded; }
    // True when the store had a row (or one could be copied from the default).
    bool hasStoreRow() const { return !cds.isEmpty(); }
    // The error text when the stored column settings could not be read; empty otherwise. The
    // next save replaces them.
    const QString& gridconfigError() const { return m_gridconfigError; }

    Db::RecordSet cds;
    bool Fautowidth = false;
    QString Fbillcode;
    QString Fcaption;
    QString Fgridconfig;
    std::map<QString, std::unique_ptr<TcustBIllRuleGridConfig>> Fgrids;
    int Fistyle = 0;
    int Fseekcount = 0;
    QString Ftag;
    QString Fflag;

private:
    bool openStoreRow();
    void readFields();
    void readGridConfig();
    bool insertStoreRow();

    bool m_loaded = false;
    QString m_gridconfigError;
};

// The numbering rules a bill number can follow, by `istyle`.
QStringList billNumberRules();

}  // namespace Qd::Core::Bill
