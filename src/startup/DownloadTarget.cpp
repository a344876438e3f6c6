#include "startup/DownloadTarget.h"

#include <QFileInfo>

namespace velmora::startup {

Status DownloadTarget::open(const QString& path) {
    close();
    m_failed = false;
    m_error.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_failed = true;
        m_error = QStringLiteral(u"לא ניתן ליצור את הקובץ %1: %2")
                      .arg(QFileInfo(path).fileName(), m_file.errorString());
        return Status::failure(m_error);
    }
    return {};
}

void DownloadTarget::append(QByteArrayView bytes) {
    if (!m_file.isOpen() || m_failed || bytes.isEmpty())
        return;
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size())
        fail();
}

void DownloadTarget::close() {
    if (!m_file.isOpen())
        return;
    if (!m_failed && !m_file.flush())
        fail();
    m_file.close();
}

void DownloadTarget::fail() {
    m_failed = true;
    m_error = QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2")
                  .arg(QFileInfo(m_file.fileName()).fileName(), m_file.errorString());
}

} // namespace velmora::startup
