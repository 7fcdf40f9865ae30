#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "bill/uCustBillRuleObj.h"
#include "core/uBaseForm.h"
#include "db/RecordSet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace Qd::Core::Ui {
class Grid;
class GridView;
}  // namespace Qd::Core::Ui

namespace Qd::Core::Bill {

// 单据设置: a store's rule for one bill module. 常规设置 holds the bill's name, numbering and
// switches, 列设置 the detail grid's column settings; 确定 saves them into the store's rule.
// Values unlike the module's default (常规设置) or the descriptor's column (列设置) are marked,
// with the default in their tooltip and a way back to it.
class Tbilloptionsform : public Base::TBaseForm {
    Q_OBJECT
public:
    // `_billcode`: the module code; `_pluginfo`: the bill window's whole form descriptor.
    Tbilloptionsform(QWidget* AOwner, const QString& _billcode, const QString& _pluginfo);
    ~Tbilloptionsform() override;

    // False when the store's rule could not be read (the error was shown): the dialog is not
    // to be opened.
    bool loaded() const;

    // The column table's fields, in order.
    static QString columnTemplateSql();

    QString billcode;
    QString pluginfo;
    std::unique_ptr<TCustBillRule> CustBillRule;
    Db::RecordSet cdsColumns;  // the column table of 列设置

    QTabWidget* pages;  // owned by the dialog
    QWidget* tabGeneral;
    QWidget* tabColumns;
    QLineEdit* edtCaption;
    QLineEdit* edtTag;
    QComboBox* cbbRule;
    QLabel* lblSample;
    QSpinBox* edtSeekcount;
    QList<QCheckBox*> switches;  // tagged with their positions 1 to 3
    QCheckBox* chkAutowidth;
    QLabel* lblColumnsHint;
    Ui::Grid* cxgColumns;
    Ui::GridView* cxgColumnsView;
    QAction* actok;
    QAction* actCancel;
    QAction* actResetColumn;  // 恢复默认 of the current row of 列设置

    // The module's default of a 常规设置 value, as its tooltip shows it; nullopt when the value
    // equals it (or there is no default).
    struct GeneralDefaults {
        QString caption, tag;
        int istyle = 0, seekcount = 0;
    };
    const std::optional<GeneralDefaults>& moduleDefault() const { return m_default; }
    // The descriptor's values of a detail column, as a column row starts.
    struct ColumnDefault {
        QString label, format;
    };
    // True when the cell of `field` on the row at `pos` holds other than the descriptor's value.
    bool columnCellOverridden(int pos, const QString& field) const;
    // The cell's mark: "默认：" and the descriptor's value when it is overridden, else empty.
    QString columnCellNote(int pos, const QString& field) const;

private:
    void buildGeneralPage();
    void buildColumnsPage();
    void _init();
    bool readModuleDefault();
    void fillColumns();
    void markGeneralOverrides();
    void actokExecute();
    void resetColumnRow();
    void commitOpenEditor();

    struct Marker {
        QLabel* caption = nullptr;
        QToolButton* reset = nullptr;
    };
    Marker addMarker(QLabel* caption, QWidget* editor, std::function<void()> reset);
    void showMarker(const Marker& m, bool overridden, const QString& defaultText);

    std::optional<GeneralDefaults> m_default;
    QMap<QString, ColumnDefault> m_columnDefaults;
    bool m_columnsValid = false;  // the descriptor named its detail columns
    QList<Marker> m_markers;      // caption, prefix, rule, serial length, switches 1 to 3
};

}  // namespace Qd::Core::Bill
