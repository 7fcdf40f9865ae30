// Writes the demo's print templates as the template files the print dialog keeps under the
// program home's reports/ folder, for the install: demo_template_files FOLDER writes
// FOLDER/reports/<module>_01_<name>.fr3. Exit status 1 when a file cannot be written.
#include <QGuiApplication>
#include <cstdio>

#include "DemoTemplates.h"
#include "base/OwnerOnly.h"
#include "base/ProgramHome.h"
#include "print/engine/TemplateFile.h"
#include "print/uPrinterForm.h"

using namespace Qd;

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: demo_template_files FOLDER\n", stderr);
        return 2;
    }
    Core::Sys::setProgramHome(QString::fromLocal8Bit(argv[1]));
    for (const App::DemoTemplate& t : App::demoTemplates()) {
        const QString file = Core::Fr4::TPrinterForm::templateFileName(
            t.moduleCode, QStringLiteral("01"), t.report.name);
        if (!Core::Sys::writeOwnerOnlyFile(file, Print::TemplateFile::toBytes(t.report))) {
            std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
