#include "data/InstalledFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace velmora::data {

QString installedFilesDirFor(const QString& programDir) {
    if (programDir.isEmpty())
        return {};
    // The relative path from the installed program's folder to its files, as the build's
    // installation directories give it ("../share/velmora" for the usual layout).
    const QString dir = QDir::cleanPath(
        QDir(programDir).absoluteFilePath(QStringLiteral(VELMORA_INSTALLED_FILES_FROM_BINDIR)));
    return QFileInfo(dir).isDir() ? dir : QString();
}

QString installedFilesDir() {
    if (QCoreApplication::instance() == nullptr)
        return {};
    return installedFilesDirFor(QCoreApplication::applicationDirPath());
}

QString installedFile(const QString& relativePath) {
    const QString dir = installedFilesDir();
    if (dir.isEmpty())
        return {};
    const QString path = QDir(dir).filePath(relativePath);
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace velmora::data
