// The grid layout a user's cache file holds (ini text): any text is read or refused without
// changing the view; a layout read is saved again to text that reads back to the same text.
#include "FuzzSupport.h"
#include "db/RecordSet.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

// One view serves every input (making a view costs more than the parsing fuzzed): its columns
// are set afresh each time.
void check(const std::uint8_t* data, std::size_t size) {
    static Db::RecordSet* rows = [] {
        auto* rs = new Db::RecordSet;
        rs->addField("code", Db::FieldType::Text);
        rs->addField("name", Db::FieldType::Text);
        rs->addField("price", Db::FieldType::Currency);
        rs->createDataSet();
        for (int i = 0; i < 3; ++i) {
            rs->append();
            rs->field("code").setValue(QString::number(3 - i));
            rs->field("price").setValue(i * 1.5);
            rs->post();
        }
        return rs;
    }();
    static Ui::GridView& view = []() -> Ui::GridView& {
        auto* v = new Ui::GridView(QStringLiteral("tvGoods"));
        v->setRecordSet(rows);
        return *v;
    }();
    view.clearColumns();
    for (const char* field : {"code", "name"}) {
        Ui::GridColumn* c = view.addColumn(QStringLiteral("tvGoods") + QLatin1String(field));
        c->fieldName = QLatin1String(field);
    }
    view.applyColumns();
    const QByteArray before = view.saveLayout();
    const QByteArray ini =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!view.restoreLayout(ini)) {
        if (view.saveLayout() != before)
            __builtin_trap();
        return;
    }
    const QByteArray saved = view.saveLayout();
    if (!view.restoreLayout(saved) || view.saveLayout() != saved)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Qd::Fuzz::initOnce();
    check(data, size);
    Qd::Fuzz::dropDeferred();
    return 0;
}
