#include "data/FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace velmora::data {
namespace {

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString reasonText(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

struct InjectedWriteFailure {
    QString fileName;
    qint64 bytesBeforeFailure = 0;
    int error = ENOSPC;

    bool fullDisk() const { return error == ENOSPC; }
};
std::optional<InjectedWriteFailure> g_writeFailure;

const InjectedWriteFailure* injectedFailure(const QString& path) {
    if (!g_writeFailure)
        return nullptr;
    const QString& name = g_writeFailure->fileName;
    if (fileName(path) == name || QDir::fromNativeSeparators(path).endsWith(u'/' + name))
        return &*g_writeFailure;
    return nullptr;
}

WriteStepHook g_writeStepHook = nullptr;

void step(const QString& path, WriteKind kind, WriteStep at, QByteArrayView bytes = {}) {
    if (g_writeStepHook)
        g_writeStepHook(path, kind, at, bytes);
}

QString cannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2").arg(fileName(path), reason);
}

} // namespace

WriteFailureForTesting::WriteFailureForTesting(QString fileName, qint64 bytesBeforeFailure, int error) {
    g_writeFailure = InjectedWriteFailure{std::move(fileName), bytesBeforeFailure, error};
}

WriteFailureForTesting::~WriteFailureForTesting() {
    g_writeFailure.reset();
}

void setWriteStepHookForTesting(WriteStepHook hook) {
    g_writeStepHook = hook;
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
    step(path, WriteKind::Rewrite, WriteStep::Begin, bytes);
    const InjectedWriteFailure* failure = injectedFailure(path);
    if (failure && !failure->fullDisk())
        return Status::failure(cannotWrite(path, reasonText(failure->error)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(cannotWrite(path, file.errorString()));
    if (failure) {
        file.write(bytes.data(), std::min<qint64>(bytes.size(), failure->bytesBeforeFailure));
        file.cancelWriting();
        return Status::failure(cannotWrite(path, reasonText(failure->error)));
    }
    // Written in two parts only so that a crash test can stop between them.
    const qsizetype first = g_writeStepHook ? bytes.size() / 2 : bytes.size();
    if (file.write(bytes.data(), first) != first) {
        file.cancelWriting();
        return Status::failure(cannotWrite(path, file.errorString()));
    }
    if (first < bytes.size()) {
        file.flush();
        step(path, WriteKind::Rewrite, WriteStep::Partial, bytes);
        if (file.write(bytes.data() + first, bytes.size() - first) != bytes.size() - first) {
            file.cancelWriting();
            return Status::failure(cannotWrite(path, file.errorString()));
        }
    }
    file.flush();
    step(path, WriteKind::Rewrite, WriteStep::Written, bytes);
    if (!file.commit())
        return Status::failure(
            QStringLiteral(u"לא ניתן לשמור את הקובץ %1: %2").arg(fileName(path), file.errorString()));
    step(path, WriteKind::Rewrite, WriteStep::Done, bytes);
    return {};
}

Status checkWritable(const QString& path) {
    if (const InjectedWriteFailure* failure = injectedFailure(path); failure && !failure->fullDisk())
        return Status::failure(cannotWrite(path, reasonText(failure->error)));
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return Status::failure(cannotWrite(path, reasonText(EISDIR)));
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return Status::failure(cannotWrite(path, reasonText(errno)));
    return {};
}

Status checkFolderWritable(const QString& folder) {
    const auto failed = [&](int error) {
        return Status::failure(QStringLiteral(u"לא ניתן לכתוב בתיקייה %1: %2")
                                   .arg(QDir::toNativeSeparators(folder), reasonText(error)));
    };
    const QByteArray native = QFile::encodeName(folder);
    // A file without a name, which vanishes when closed; where the file system has no such
    // files, a named one removed at once.
    int fd = ::open(native.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        QByteArray name = native + "/.velmora-write-test-XXXXXX";
        fd = ::mkstemp(name.data());
        if (fd >= 0)
            ::unlink(name.constData());
    }
    if (fd < 0)
        return failed(errno);
    ::close(fd);
    return {};
}

Status commitSaveFile(QSaveFile& file, QByteArrayView bytes) {
    const QString path = file.fileName();
    step(path, WriteKind::Rewrite, WriteStep::Begin, bytes);
    if (const InjectedWriteFailure* failure = injectedFailure(path)) {
        file.cancelWriting();
        return Status::failure(cannotWrite(path, reasonText(failure->error)));
    }
    file.flush();
    step(path, WriteKind::Rewrite, WriteStep::Written, bytes);
    if (!file.commit())
        return Status::failure(cannotWrite(path, file.errorString()));
    step(path, WriteKind::Rewrite, WriteStep::Done, bytes);
    return {};
}

Status appendDurable(const QString& path, QByteArrayView bytes) {
    step(path, WriteKind::Append, WriteStep::Begin, bytes);
    const InjectedWriteFailure* failure = injectedFailure(path);
    if (failure && !failure->fullDisk())
        return Status::failure(QStringLiteral(u"לא ניתן לפתוח את הקובץ %1 להוספה: %2")
                                   .arg(fileName(path), reasonText(failure->error)));
    // Plain POSIX calls: QFile buffers and has no fsync, and a record must reach the disk whole.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::failure(
            QStringLiteral(u"לא ניתן לפתוח את הקובץ %1 להוספה: %2").arg(fileName(path), reasonText(errno)));
    const off_t before = ::lseek(fd, 0, SEEK_END);
    const auto fail = [&](int error) {
        if (before >= 0 && ::ftruncate(fd, before) != 0) {
            // Nothing more can be done here; the reader skips a damaged last record.
        }
        ::close(fd);
        return Status::failure(
            QStringLiteral(u"לא ניתן להוסיף לקובץ %1: %2").arg(fileName(path), reasonText(error)));
    };
    qsizetype size = bytes.size();
    if (failure)
        size = std::clamp<qsizetype>(failure->bytesBeforeFailure, 0, bytes.size());
    // One write, or two when a crash test wants to stop between them.
    const qsizetype half = g_writeStepHook ? size / 2 : size;
    qsizetype done = 0;
    while (done < size) {
        const qsizetype upTo = done < half ? half : size;
        const ssize_t n = ::write(fd, bytes.data() + done, static_cast<size_t>(upTo - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        done += n;
        if (done == half && half < size)
            step(path, WriteKind::Append, WriteStep::Partial, bytes);
    }
    if (failure)
        return fail(failure->error);
    step(path, WriteKind::Append, WriteStep::Written, bytes);
    if (::fsync(fd) != 0) {
        const QString reason = reasonText(errno);
        ::close(fd);
        return Status::failure(QStringLiteral(u"לא ניתן לשמור את הקובץ %1: %2").arg(fileName(path), reason));
    }
    ::close(fd);
    step(path, WriteKind::Append, WriteStep::Done, bytes);
    return {};
}

Status truncateFile(const QString& path, qint64 size) {
    if (g_writeStepHook) {
        QFile file(path);
        const QByteArray kept = file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
        step(path, WriteKind::Truncate, WriteStep::Begin, kept);
    }
    const auto failed = [&](int error) {
        return Status::failure(QStringLiteral(u"לא ניתן לקצץ את הקובץ %1 לאורכו הקודם: %2")
                                   .arg(fileName(path), reasonText(error)));
    };
    if (const InjectedWriteFailure* failure = injectedFailure(path))
        return failed(failure->error);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    if (::ftruncate(fd, size) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(error);
    }
    ::close(fd);
    step(path, WriteKind::Truncate, WriteStep::Done);
    return {};
}

Status removeFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {};
    step(path, WriteKind::Remove, WriteStep::Begin);
    if (file.remove()) {
        step(path, WriteKind::Remove, WriteStep::Done);
        return {};
    }
    return Status::failure(
        QStringLiteral(u"לא ניתן למחוק את הקובץ %1: %2").arg(fileName(path), file.errorString()));
}

} // namespace velmora::data
