// The column descriptors a module ships (the plug item's columns text): any text builds the
// columns it can and names the rest in the builder's problems, never a crash; the columns built
// give a layout text that the view reads back. No window is shown and lookups are not bound (a
// lookup's query is the module author's T-SQL, fuzzed by fuzz_tsql).
#include "FuzzSupport.h"
#include "core/ColumnBuilder.h"
#include "ui/grid/Grid.h"

using namespace Qd::Core;

namespace {

// The shared view: the builder replaces its columns each time.
void check(const std::uint8_t* data, std::size_t size) {
    Ui::GridView& view = Qd::Fuzz::gridView();
    Base::ColumnBuilder::Options options;
    options.moduleCode = QStringLiteral("XM");
    options.types = Base::ColumnBuilder::listTypes();
    options.defaultMoneyFormat = QStringLiteral("0.00");
    options.dateFormat = QStringLiteral("yyyy-MM-dd");
    Base::ColumnBuilder builder(options);
    builder.build(&view, Qd::Fuzz::text(data, size));
    if (!view.columns().isEmpty() && !view.restoreLayout(view.saveLayout()))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return Qd::Fuzz::runWithWidgets(check, data, size);
}
