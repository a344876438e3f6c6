#pragma once

#include "data/Result.h"

#include <QByteArrayView>
#include <QFile>
#include <QSaveFile>
#include <QString>

namespace velmora::startup {

// The file that receives an asynchronous response body: created empty before the request and
// kept open while the request runs, so that the transfer's notification can append the body in
// chunks exactly as they arrive, with nothing between them.
class DownloadTarget {
public:
    DownloadTarget() = default;
    DownloadTarget(const DownloadTarget&) = delete;
    DownloadTarget& operator=(const DownloadTarget&) = delete;

    enum class Replace {
        AtOpen,   // the file is emptied at once; what arrives is appended to it
        OnCommit, // the file keeps its content until commit(); what arrives goes to a file beside it
    };

    // Creates the file empty (whatever it held is gone) and keeps it open; with Replace::OnCommit
    // the file itself stays as it is until commit(). Closes a file still open from before.
    Status open(const QString& path, Replace when = Replace::AtOpen);
    bool isOpen() const { return m_file.isOpen() || m_save.isOpen(); }

    // Appends the bytes. After a failed write the file is incomplete: every later append is
    // dropped and failed() tells the caller not to trust the file.
    void append(QByteArrayView bytes);
    bool failed() const { return m_failed; }
    // Why the file is incomplete (Hebrew, names the file); empty while nothing failed.
    const QString& error() const { return m_error; }

    // Flushes and closes the file; a failing flush counts as a failed write. Closing a closed
    // target does nothing. With Replace::OnCommit, closing without commit() drops what arrived and
    // leaves the file as it was.
    void close();
    // Replace::OnCommit: the file takes what arrived, in one rename. A failed write or rename is
    // an error (naming the file), and the file then stays as it was.
    Status commit();

private:
    void fail(const QFileDevice& device);
    void discardSaveFile();

    QFile m_file;
    QSaveFile m_save;
    bool m_failed = false;
    QString m_error;
};

} // namespace velmora::startup
