// Hostile values through the print template window: the module's code (pasted, quoted, into the
// list's statement) and a template's number and name (saved from the properties dialog, and
// used to find a new template's id for its share rows) come back exactly and change nothing
// else. See support/HostileValues.h.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "print/uPrinterForm.h"
#include "print/uRptDocsPropForm.h"
#include "printui/PrintUiTest.h"
#include "support/HostileValues.h"

using namespace Qd::Core;
using namespace Qd::Test;

namespace {

class Injection : public PrintUiTest {
protected:
    int width(const char* column) {
        return columnWidth(dbPath(), "qd_sys_printdocs", QLatin1String(column));
    }
    // Adds a template through the properties dialog, shared with store 6.
    void add(Fr4::TPrinterForm& f, const QString& code, const QString& name, bool saves) {
        answerProperties([&](Fr4::TRptDocsPropForm& p) {
            p.edtCode->setText(code);
            p.edtDocName->setText(name);
            p.cbbType->setCurrentIndex(2);
            shareWith(p, {6});
        });
        prompts().answer(saves ? Ui::mrNo : Ui::mrOk);  // no designer afterwards / the refusal
        f.actAdd->trigger();
    }

    Fr4::TDataSetCollection datasets;
    Fr4::TUserVariables variables;
};

}  // namespace

TEST_F(Injection, ATemplateKeepsItsModuleCodeNumberAndName) {
    const int moduleWidth = columnWidth(dbPath(), "qd_sys_plugins", "code");
    const int codeWidth = width("code");
    forEachHostileValue([&](const HostileValue& v) {
        // The module's code is one the registry can hold; number and name are typed.
        const QString module = v.fits(moduleWidth) ? v.text : QStringLiteral("1002");
        const QString storedModule = v.fits(moduleWidth) ? v.stored() : module;
        grant(11, module + QStringLiteral("_061"));
        Fr4::TPrinterForm f(nullptr, module, &datasets, &variables);
        ASSERT_TRUE(f.qx);
        const DbSnapshot before(dbPath());
        const std::size_t asked = prompts().asked().size();
        add(f, v.text, v.text, v.fits(codeWidth));
        EXPECT_EQ(prompts().pending(), 0);
        if (!v.fits(codeWidth)) {
            EXPECT_TRUE(prompts().last().text.contains("would be truncated"));
            EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before), QString());
            return;
        }
        EXPECT_EQ(prompts().asked().size(), asked + 2);  // the dialog, then the designer question
        // The list shows it, read back through the module's code.
        ASSERT_EQ(f.cdsMain.recordCount(), 1);
        EXPECT_EQ(f.cdsMain.field("code").asString(), v.stored());
        EXPECT_EQ(f.cdsMain.field("docname").asString(), v.stored());
        const qint64 id = f.cdsMain.field("id").asLargeInt();
        const auto column = [&](const char* name) {
            return freshText(dbPath(),
                             QStringLiteral("select %1 from qd_sys_printdocs where id = :id")
                                 .arg(QLatin1String(name)),
                             {{"id", id}});
        };
        EXPECT_EQ(column("modulecode"), storedModule);
        EXPECT_EQ(column("code"), v.stored());
        EXPECT_EQ(column("docname"), v.stored());
        EXPECT_EQ(freshText(dbPath(), "select ck_id from qd_sys_printdocs_ck where rpt_id = :id",
                            {{"id", id}}),
                  "6");
        EXPECT_EQ(DbSnapshot(dbPath()).changesSince(before),
                  "qd_sys_printdocs: 1 added; qd_sys_printdocs_ck: 1 added");
    });
}
