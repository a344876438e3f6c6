#include "data/FileIo.h"

#include "data/FileSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

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
    // Opened for appending and closed again: the file's content and time stay as they are.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return Status::failure(cannotWrite(path, file.errorString()));
    return {};
}

Status checkFolderWritable(const QString& folder) {
    // A file of its own, removed again when it goes out of scope.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".velmora-write-test-XXXXXX")));
    if (!probe.open())
        return Status::failure(QStringLiteral(u"לא ניתן לכתוב בתיקייה %1: %2")
                                   .arg(QDir::toNativeSeparators(folder), probe.errorString()));
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
    // Unbuffered, so that the record goes to the file in one write; syncFile() then puts it on the
    // disk, since a record must reach the disk whole.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Status::failure(
            QStringLiteral(u"לא ניתן לפתוח את הקובץ %1 להוספה: %2").arg(fileName(path), file.errorString()));
    const qint64 before = file.size();
    const auto fail = [&](const QString& reason) {
        if (!file.resize(before)) {
            // Nothing more can be done here; the reader skips a damaged last record.
        }
        return Status::failure(QStringLiteral(u"לא ניתן להוסיף לקובץ %1: %2").arg(fileName(path), reason));
    };
    qsizetype size = bytes.size();
    if (failure)
        size = std::clamp<qsizetype>(failure->bytesBeforeFailure, 0, bytes.size());
    // One write, or two when a crash test wants to stop between them.
    const qsizetype half = g_writeStepHook ? size / 2 : size;
    if (file.write(bytes.data(), half) != half)
        return fail(file.errorString());
    if (half < size) {
        step(path, WriteKind::Append, WriteStep::Partial, bytes);
        if (file.write(bytes.data() + half, size - half) != size - half)
            return fail(file.errorString());
    }
    if (failure)
        return fail(reasonText(failure->error));
    step(path, WriteKind::Append, WriteStep::Written, bytes);
    if (const Status synced = syncFile(file); !synced)
        return Status::failure(
            QStringLiteral(u"לא ניתן לשמור את הקובץ %1: %2").arg(fileName(path), synced.error()));
    file.close();
    step(path, WriteKind::Append, WriteStep::Done, bytes);
    return {};
}

Status truncateFile(const QString& path, qint64 size) {
    if (g_writeStepHook) {
        QFile file(path);
        const QByteArray kept = file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
        step(path, WriteKind::Truncate, WriteStep::Begin, kept);
    }
    const auto failed = [&](const QString& reason) {
        return Status::failure(
            QStringLiteral(u"לא ניתן לקצץ את הקובץ %1 לאורכו הקודם: %2").arg(fileName(path), reason));
    };
    if (const InjectedWriteFailure* failure = injectedFailure(path))
        return failed(reasonText(failure->error));
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return failed(file.errorString());
    if (!file.resize(size))
        return failed(file.errorString());
    if (const Status synced = syncFile(file); !synced)
        return failed(synced.error());
    file.close();
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

QStringList removeInterruptedRewrites(const QString& folder) {
    static const QRegularExpression leftover(
        QStringLiteral(R"(^(.+\.(dat|htm|html|url)\.|\.velmora-write-test-)[A-Za-z0-9]{6}$)"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList removed;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (leftover.match(name).hasMatch() && removeFile(dir.filePath(name)).ok())
            removed.append(name);
    }
    return removed;
}

} // namespace velmora::data
