#include "data/FileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

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
    // Plain POSIX calls: QFile buffers and has no fsync, and a record must reach the disk whole.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::failure(QStringLiteral(u"לא ניתן לפתוח את הקובץ %1 להוספה: %2")
                                   .arg(fileName(path), QString::fromLocal8Bit(strerror(errno))));
    const off_t before = ::lseek(fd, 0, SEEK_END);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const QString reason = QString::fromLocal8Bit(strerror(errno));
            if (before >= 0 && ::ftruncate(fd, before) != 0) {
                // Nothing more can be done here; the reader skips a damaged last record.
            }
            ::close(fd);
            return Status::failure(
                QStringLiteral(u"לא ניתן להוסיף לקובץ %1: %2").arg(fileName(path), reason));
        }
        done += n;
    }
    if (::fsync(fd) != 0) {
        const QString reason = QString::fromLocal8Bit(strerror(errno));
        ::close(fd);
        return Status::failure(QStringLiteral(u"לא ניתן לשמור את הקובץ %1: %2").arg(fileName(path), reason));
    }
    ::close(fd);
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
