// The grid layout a user's cache file holds (ini text): any text is read or refused without
// changing the view; a layout read is saved again to text that reads back to the same text.
#include "FuzzSupport.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

// The shared view, its columns set afresh for each input.
void check(const std::uint8_t* data, std::size_t size) {
    Ui::GridView& view = Qd::Fuzz::gridView();
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
    return Qd::Fuzz::runWithWidgets(check, data, size);
}
