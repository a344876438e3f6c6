#include "ui/ProgramNames.h"

#include <QCoreApplication>

namespace velmora::ui {

void setProgramNames() {
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("velmora"));
}

} // namespace velmora::ui
