#include "platform/ProgramLauncher.h"

#include <QFileInfo>
#include <QProcess>

#include <utility>

namespace velmora::platform {

ProgramLauncher::ProgramLauncher()
    : ProgramLauncher(
          [](const QString& program, const QStringList& arguments) {
              return QProcess::startDetached(program, arguments);
          },
          {}) {}

ProgramLauncher::ProgramLauncher(StartDetached start, ShowInWindow show)
    : m_start(std::move(start))
    , m_show(std::move(show)) {}

void ProgramLauncher::setDocumentWindow(ShowInWindow show) {
    m_show = std::move(show);
}

Status ProgramLauncher::startProgram(const QString& program, const QStringList& arguments) const {
    if (program.trimmed().isEmpty())
        return Status::failure(QStringLiteral(u"לא הוגדרה תוכנית להפעלה."));
    if (!m_start(program, arguments))
        return Status::failure(QStringLiteral(u"לא ניתן להפעיל את התוכנית %1.").arg(program));
    return {};
}

Status ProgramLauncher::openDocument(const QString& viewer, const QString& file,
                                     const QString& orderNumber) const {
    const QFileInfo info(file);
    if (!info.isFile())
        return Status::failure(QStringLiteral(u"הקובץ %1 לא נמצא.").arg(file));
    if (!viewer.trimmed().isEmpty())
        return startProgram(viewer, {info.absoluteFilePath()});
    if (!m_show || !m_show(info.absoluteFilePath(), orderNumber))
        return Status::failure(
            QStringLiteral(u"לא ניתן להציג את הקובץ %1 בחלון המסמכים.").arg(info.fileName()));
    return {};
}

} // namespace velmora::platform
