#pragma once

// Page 1 of a prepared report against its committed image (tests/app/golden/): printed to PDF,
// turned into a PNG with pdftoppm at 40 dpi and compared within a small tolerance.
// QD_UPDATE_GOLDEN=1 writes the image instead. Skips the test without pdftoppm.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include "print/engine/Render.h"
#include "support/Render.h"

namespace Qd::Test {

// The share of pixels whose grey differs by more than a quarter between two images.
inline double differing(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 1.0;
    qint64 n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 64;
    return double(n) / (a.width() * a.height());
}

// `work` is a scratch folder; `name` the golden image's file name. With QD_RENDER_DIR set the
// PDF is kept there as <name without .png>.pdf.
inline void expectGoldenPage(const Print::PreparedReport& report, const QString& work,
                             const QString& name) {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed";
    const QDir dir(work);
    const QString pdf = dir.filePath(QStringLiteral("golden.pdf"));
    ASSERT_TRUE(Print::toPdf(report, pdf, QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC)));
    if (const QString kept = renderDir(); !kept.isEmpty())
        QFile::copy(pdf, QDir(kept).filePath(QString(name).replace(".png", ".pdf")));
    QProcess p;
    p.start(pdftoppm,
            {"-png", "-r", "40", "-f", "1", "-l", "1", "-singlefile", pdf, dir.filePath("page")});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    const QString golden = QStringLiteral(QD_GOLDEN_DIR "/") + name;
    if (!qEnvironmentVariableIsEmpty("QD_UPDATE_GOLDEN"))
        page.save(golden);
    const QImage expected(golden);
    ASSERT_FALSE(expected.isNull()) << "missing " << golden.toStdString();
    EXPECT_LT(differing(page, expected), 0.01);
}

}  // namespace Qd::Test
