#include "db/FileChunks.h"

#include <QIODevice>

#include "base/ProgramHome.h"
#include "base/SafeName.h"

namespace Qd::Core::Db {

DbError tooLarge(const QString& label, std::optional<qint64> size, qint64 limit) {
    const QString limitText =
        QStringLiteral("数据库的单个值最多 %1 字节（含文件名等同一行的内容）").arg(limit);
    if (size)
        return DbError(QStringLiteral("文件“%1”有 %2 字节，太大了：%3，没有保存。")
                           .arg(label)
                           .arg(*size)
                           .arg(limitText));
    return DbError(QStringLiteral("文件“%1”太大了：%2，没有保存。").arg(label, limitText));
}

DbError readFailed(const QString& label, const QIODevice& in) {
    return DbError(QStringLiteral("读取文件“%1”失败：%2").arg(label, in.errorString()));
}

std::unique_ptr<QTemporaryFile> spool(QIODevice& in, qint64 largest, const QString& label,
                                      qint64 limit) {
    auto file = std::make_unique<QTemporaryFile>();
    if (!file->open())
        throw DbError(
            QStringLiteral("无法为文件“%1”建立临时文件：%2").arg(label, file->errorString()));
    QByteArray chunk(kFileChunkBytes, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = in.read(chunk.data(), chunk.size());
        if (n < 0)
            break;  // closed by the writer
        if (n == 0) {
            if (!in.waitForReadyRead(30000))
                break;  // at its end, or nothing came for half a minute
            continue;
        }
        total += n;
        if (total > largest)
            throw tooLarge(label, std::nullopt, limit);
        if (file->write(chunk.constData(), n) != n)
            throw DbError(
                QStringLiteral("无法为文件“%1”写入临时文件：%2").arg(label, file->errorString()));
    }
    if (!file->seek(0))
        throw DbError(QStringLiteral("无法读回文件“%1”的临时文件").arg(label));
    return file;
}

void readChunks(QIODevice& in, qint64 size, const QString& label, const ChunkTaker& take) {
    QByteArray chunk(int(std::min(size, kFileChunkBytes)), Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const qint64 n = in.read(chunk.data(), std::min<qint64>(chunk.size(), size - done));
        if (n <= 0)
            throw n < 0
                ? readFailed(label, in)
                : DbError(QStringLiteral("文件“%1”在保存时变短了（应有 %2 字节），没有保存。")
                              .arg(label)
                              .arg(size));
        take(chunk.constData(), n, done);
        done += n;
    }
    if (!in.atEnd())
        throw DbError(QStringLiteral("文件“%1”在保存时变长了（应有 %2 字节），没有保存。")
                          .arg(label)
                          .arg(size));
}

QString localCopyPath(const QString& storedName) {
    // The stored name may hold folders; each part becomes a name the file system takes (a long
    // Chinese name is cut to its bytes).
    QStringList parts;
    for (const QString& part : QString(storedName)
                                   .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                   .split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (part != QLatin1String(".") && part != QLatin1String(".."))
            parts << Sys::safeFileName(part);
    if (parts.isEmpty())
        parts << QStringLiteral("file");
    return Sys::programPath(QStringLiteral("cache/files/") + parts.join(QLatin1Char('/')));
}

}  // namespace Qd::Core::Db
