#pragma once

#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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

// Deletes the file; a file that does not exist is no error.
Status removeFile(const QString& path);

// For tests: while an object of this class lives, writeFileAtomic() to a file of the given bare
// name writes only the first `bytesBeforeFailure` bytes and then fails as a full disk makes it
// fail, so a test can check that a failed rewrite leaves the old file in place. One at a time.
class WriteFailureForTesting {
public:
    WriteFailureForTesting(QString fileName, qint64 bytesBeforeFailure);
    ~WriteFailureForTesting();
    WriteFailureForTesting(const WriteFailureForTesting&) = delete;
    WriteFailureForTesting& operator=(const WriteFailureForTesting&) = delete;
};

} // namespace velmora::data
