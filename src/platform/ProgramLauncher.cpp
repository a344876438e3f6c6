#include "platform/ProgramLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>

#include <utility>

namespace velmora::platform {

ProgramLauncher::ProgramLauncher()
    : ProgramLauncher(
          [](const QString& program, const QStringList& arguments) {
              return QProcess::startDetached(program, arguments);
          },
          [](const QUrl& url) { return QDesktopServices::openUrl(url); }) {}

ProgramLauncher::ProgramLauncher(StartDetached start, OpenWithDesktop open)
    : m_start(std::move(start))
    , m_open(std::move(open)) {}

Status ProgramLauncher::startProgram(const QString& program, const QStringList& arguments) const {
    if (program.trimmed().isEmpty())
        return Status::failure(QStringLiteral(u"לא הוגדרה תוכנית להפעלה."));
    if (!m_start(program, arguments))
        return Status::failure(QStringLiteral(u"לא ניתן להפעיל את התוכנית %1.").arg(program));
    return {};
}

Status ProgramLauncher::openDocument(const QString& viewer, const QString& file) const {
    const QFileInfo info(file);
    if (!info.isFile())
        return Status::failure(QStringLiteral(u"הקובץ %1 לא נמצא.").arg(file));
    if (!viewer.trimmed().isEmpty())
        return startProgram(viewer, {info.absoluteFilePath()});
    if (!m_open(QUrl::fromLocalFile(info.absoluteFilePath())))
        return Status::failure(
            QStringLiteral(u"לא ניתן לפתוח את הקובץ %1 בתוכנית ברירת המחדל.").arg(info.fileName()));
    return {};
}

} // namespace velmora::platform
