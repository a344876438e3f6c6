#include "data/FileIo.h"

#include "data/FileSync.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace velmora::data {
namespace {

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

struct InjectedWriteFailure {
    QString fileName;
    qint64 bytesBeforeFailure = 0;
};
std::optional<InjectedWriteFailure> g_writeFailure;

} // namespace

WriteFailureForTesting::WriteFailureForTesting(QString fileName, qint64 bytesBeforeFailure) {
    g_writeFailure = InjectedWriteFailure{std::move(fileName), bytesBeforeFailure};
}

WriteFailureForTesting::~WriteFailureForTesting() {
    g_writeFailure.reset();
}

Result<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return Result<QByteArray>::failure(QStringLiteral(u"הקובץ %1 לא נמצא.").arg(fileName(path)));
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(
            QStringLiteral(u"לא ניתן לקרוא את הקובץ %1: %2").arg(fileName(path), file.errorString()));
    return file.readAll();
}

bool fileExists(const QString& path) {
    return QFileInfo::exists(path);
}

Status writeFileAtomic(const QString& path, QByteArrayView bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(
            QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2").arg(fileName(path), file.errorString()));
    if (g_writeFailure && g_writeFailure->fileName == fileName(path)) {
        file.write(bytes.data(), std::min<qint64>(bytes.size(), g_writeFailure->bytesBeforeFailure));
        file.cancelWriting();
        return Status::failure(QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2")
                                   .arg(fileName(path), QString::fromLocal8Bit(strerror(ENOSPC))));
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        file.cancelWriting();
        return Status::failure(
            QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2").arg(fileName(path), file.errorString()));
    }
    if (!file.commit())
        return Status::failure(
            QStringLiteral(u"לא ניתן לשמור את הקובץ %1: %2").arg(fileName(path), file.errorString()));
    return {};
}

Status appendDurable(const QString& path, QByteArrayView bytes) {
    // Unbuffered, so that the record goes to the file in one write; syncFile() then puts it on the
    // disk, since a record must reach the disk whole.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Status::failure(
            QStringLiteral(u"לא ניתן לפתוח את הקובץ %1 להוספה: %2").arg(fileName(path), file.errorString()));
    const qint64 before = file.size();
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        const QString reason = file.errorString();
        if (!file.resize(before)) {
            // Nothing more can be done here; the reader skips a damaged last record.
        }
        return Status::failure(QStringLiteral(u"לא ניתן להוסיף לקובץ %1: %2").arg(fileName(path), reason));
    }
    if (const Status synced = syncFile(file); !synced)
        return Status::failure(
            QStringLiteral(u"לא ניתן לשמור את הקובץ %1: %2").arg(fileName(path), synced.error()));
    return {};
}

Status removeFile(const QString& path) {
    QFile file(path);
    if (!file.exists() || file.remove())
        return {};
    return Status::failure(
        QStringLiteral(u"לא ניתן למחוק את הקובץ %1: %2").arg(fileName(path), file.errorString()));
}

} // namespace velmora::data
