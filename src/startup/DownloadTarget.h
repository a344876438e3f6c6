#pragma once

#include "data/Result.h"

#include <QByteArrayView>
#include <QFile>
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

    // Creates the file empty (whatever it held is gone) and keeps it open. Closes a file still
    // open from before.
    Status open(const QString& path);
    bool isOpen() const { return m_file.isOpen(); }

    // Appends the bytes. After a failed write the file is incomplete: every later append is
    // dropped and failed() tells the caller not to trust the file.
    void append(QByteArrayView bytes);
    bool failed() const { return m_failed; }
    // Why the file is incomplete (Hebrew, names the file); empty while nothing failed.
    const QString& error() const { return m_error; }

    // Flushes and closes the file; a failing flush counts as a failed write. Closing a closed
    // target does nothing.
    void close();

private:
    void fail();

    QFile m_file;
    bool m_failed = false;
    QString m_error;
};

} // namespace velmora::startup
