#include "FuzzSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <cstring>

#include "base/ProgramHome.h"
#include "base/UnattendedPrompter.h"
#include "db/RecordSet.h"
#include "ui/grid/Grid.h"

namespace Qd::Fuzz {
namespace {}  // namespace

void initOnce() {
    static bool done = false;
    if (done)
        return;
    done = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    static QTemporaryDir home;
    Core::Sys::setProgramHome(home.path());
    // A parser under fuzzing must not wait for a user, nor flood standard error.
    static Core::Ui::UnattendedPrompter prompter(Core::Ui::UnattendedPrompter::Answer::Decline,
                                                 false);
    Core::Ui::setPrompter(&prompter);
}

int runWithWidgets(void (*check)(const std::uint8_t*, std::size_t), const std::uint8_t* data,
                   std::size_t size) {
    initOnce();
    check(data, size);
    QCoreApplication::sendPostedEvents();
    return 0;
}

Core::Ui::GridView& gridView() {
    using Core::Db::FieldType;
    // Both kept to the end of the process and never destroyed: a record set destroyed at exit
    // would tell a view whose application is gone.
    static auto& rows = *new Core::Db::RecordSet;
    static Core::Ui::GridView* view = nullptr;
    if (!view) {
        for (const auto& [name, type] : {std::pair{"code", FieldType::Text},
                                         {"name", FieldType::Text},
                                         {"price", FieldType::Currency},
                                         {"made", FieldType::DateTime},
                                         {"active", FieldType::Boolean}})
            rows.addField(name, type);
        rows.createDataSet();
        for (int i = 0; i < 3; ++i) {
            rows.append();
            rows.field("code").setValue(QString::number(3 - i));
            rows.field("price").setValue(i * 1.5);
            rows.post();
        }
        view = new Core::Ui::GridView(QStringLiteral("tvGoods"));
        view->setRecordSet(&rows);
    }
    return *view;
}

QString text(const std::uint8_t* data, std::size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

std::uint8_t Bytes::byte() {
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

std::int64_t Bytes::int64() {
    std::uint64_t v = 0;
    const std::size_t n = std::min<std::size_t>(8, m_size - std::min(m_pos, m_size));
    std::memcpy(&v, m_data + m_pos, n);
    m_pos += n;
    return std::int64_t(v);
}

QString Bytes::text(std::size_t max) {
    const std::size_t n =
        std::min<std::size_t>(byte() % (max + 1), m_size - std::min(m_pos, m_size));
    const QString s = Fuzz::text(m_data + m_pos, n);
    m_pos += n;
    return s;
}

}  // namespace Qd::Fuzz
