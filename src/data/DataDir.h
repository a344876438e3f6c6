#pragma once

#include <QDir>
#include <QString>

namespace velmora::data {

// The configured data directory. Every data file is named by its bare name and resolved here,
// never against the process's current directory.
class DataDir {
public:
    DataDir() = default;
    explicit DataDir(const QString& path)
        : m_dir(QDir(path).absolutePath()) {}

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    bool isValid() const { return !m_dir.path().isEmpty() && m_dir.path() != QStringLiteral("."); }

private:
    QDir m_dir{QString()};
};

} // namespace velmora::data
