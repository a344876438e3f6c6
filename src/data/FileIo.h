#pragma once

#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cerrno>

class QSaveFile;

// The only places where the program touches the file system for its data files. Each call opens
// the file, does one operation and closes it again.
namespace velmora::data {

// The whole file as bytes. A missing file is an error whose text names the file.
Result<QByteArray> readFile(const QString& path);

bool fileExists(const QString& path);

// Replaces the file as a whole: the new content is written beside it and renamed over it, so a
// crash leaves either the old or the new file, never a mix.
Status writeFileAtomic(const QString& path, QByteArrayView bytes);

// Appends the bytes in one write and flushes them to disk before returning, creating the file if
// it does not exist. A short write is undone (the file is cut back to its old size), so a record
// is either wholly there or not at all.
Status appendDurable(const QString& path, QByteArrayView bytes);

// Cuts the file back to its first `size` bytes and flushes it to disk (a record appended only in
// part is taken off again this way). An error names the file.
Status truncateFile(const QString& path, qint64 size);

// Deletes the file; a file that does not exist is no error.
Status removeFile(const QString& path);

// Deletes what whole-file rewrites cut short left in the folder: the temporary file of an atomic
// rewrite ("vlc.dat.Ab3xYz", the file's name and six letters or digits) stays behind when the
// process ends in the moment between naming it and renaming it over the file, which keeps its
// old content. Only names of the program's own kinds of file (.dat, .htm, .html, .url) are
// taken, and the probe of checkFolderWritable(). Returns the names removed; a file that cannot be
// removed is left (it harms nothing).
QStringList removeInterruptedRewrites(const QString& folder);

// Whether the file can be written, as far as that can be known before writing it: a file that
// exists must be writable and no folder. An error names the file. (A full disk shows only when
// the bytes are written.)
Status checkWritable(const QString& path);

// Whether a new file can be created in the folder (a read-only folder or file system, a folder
// that is missing). Leaves nothing behind. An error names the folder.
Status checkFolderWritable(const QString& folder);

// Commits a file written through QSaveFile (a download target filled while its request ran): the
// file replaces the old one in one rename, or the old one stays. `bytes` are the bytes written
// to it (reported to the write-step hook). An error names the file.
Status commitSaveFile(QSaveFile& file, QByteArrayView bytes);

// The steps of a write, for the crash tests: a hook set with setWriteStepHookForTesting() is
// called at each of them and may end the process there, so that a test can stop a submission at
// every write and in the middle of one.
enum class WriteStep {
    Begin,   // nothing written yet; newBytes are the bytes to be written (rewrite or append) or
             // the bytes that stay (truncate)
    Partial, // about half of the bytes written (a rewrite: into the new file beside the old)
    Written, // all bytes written, not yet renamed over the old file or flushed to disk
    Done,    // the write is complete
};
enum class WriteKind { Rewrite, Append, Truncate, Remove };
using WriteStepHook = void (*)(const QString& path, WriteKind kind, WriteStep step, QByteArrayView newBytes);
// Sets the hook (nullptr: none). Not for the program; one hook for the whole process.
void setWriteStepHookForTesting(WriteStepHook hook);

// For tests: while an object of this class lives, every write to the file of the given name (its
// bare name, or its path below the data directory such as "archive/000001.html") fails: with
// ENOSPC (a full disk) the write stores the first `bytesBeforeFailure` bytes and then fails as a
// full disk makes it fail; with any other error (EROFS, EACCES: a read-only data directory) the
// file cannot be opened for writing at all. A rewrite, an append (writeFileAtomic(),
// appendDurable()) and a commit (commitSaveFile()) are all affected, so a test can check that a
// failed write leaves the old file in place. One at a time.
class WriteFailureForTesting {
public:
    WriteFailureForTesting(QString fileName, qint64 bytesBeforeFailure, int error = ENOSPC);
    ~WriteFailureForTesting();
    WriteFailureForTesting(const WriteFailureForTesting&) = delete;
    WriteFailureForTesting& operator=(const WriteFailureForTesting&) = delete;
};

} // namespace velmora::data
