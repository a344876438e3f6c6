#include "startup/DownloadTarget.h"

#include <QFileInfo>

namespace velmora::startup {

Status DownloadTarget::open(const QString& path, Replace when) {
    close();
    m_failed = false;
    m_error.clear();
    QFileDevice* device = &m_file;
    bool opened = false;
    if (when == Replace::OnCommit) {
        m_save.setFileName(path);
        device = &m_save;
        opened = m_save.open(QIODevice::WriteOnly);
    } else {
        m_file.setFileName(path);
        opened = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    if (!opened) {
        m_failed = true;
        m_error = QStringLiteral(u"לא ניתן ליצור את הקובץ %1: %2")
                      .arg(QFileInfo(path).fileName(), device->errorString());
        return Status::failure(m_error);
    }
    return {};
}

void DownloadTarget::append(QByteArrayView bytes) {
    QFileDevice* device = m_save.isOpen() ? static_cast<QFileDevice*>(&m_save) : &m_file;
    if (!device->isOpen() || m_failed || bytes.isEmpty())
        return;
    if (device->write(bytes.data(), bytes.size()) != bytes.size())
        fail(*device);
}

void DownloadTarget::close() {
    discardSaveFile();
    if (!m_file.isOpen())
        return;
    if (!m_failed && !m_file.flush())
        fail(m_file);
    m_file.close();
}

Status DownloadTarget::commit() {
    if (!m_save.isOpen()) {
        close();
        return m_failed ? Status::failure(m_error) : Status();
    }
    if (m_failed) {
        discardSaveFile();
        return Status::failure(m_error);
    }
    if (!m_save.commit()) {
        fail(m_save);
        return Status::failure(m_error);
    }
    return {};
}

void DownloadTarget::discardSaveFile() {
    if (!m_save.isOpen())
        return;
    // A cancelled save file stays open until commit(), which then only removes what was received.
    m_save.cancelWriting();
    m_save.commit();
}

void DownloadTarget::fail(const QFileDevice& device) {
    m_failed = true;
    m_error = QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2")
                  .arg(QFileInfo(device.fileName()).fileName(), device.errorString());
}

} // namespace velmora::startup
