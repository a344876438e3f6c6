#include "ui/components/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace velmora::ui {
namespace {

QString& lastDirectory() {
    static QString dir;
    return dir;
}

} // namespace

QString FileDialog::toQtFilter(const QString& filterList) {
    const QStringList parts = filterList.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            if (pattern.isEmpty())
                continue;
            patterns.append(pattern == u"*.*" ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty())
            continue;
        entries.append(parts[i].trimmed() + u" (" + patterns.join(QLatin1Char(' ')) + u')');
    }
    return entries.join(QStringLiteral(";;"));
}

QStringList FileDialog::showOpen(QWidget* parent, const QString& filterList) {
    const QStringList chosen =
        QFileDialog::getOpenFileNames(parent, QString(), lastDirectory(), toQtFilter(filterList));
    if (!chosen.isEmpty())
        lastDirectory() = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

} // namespace velmora::ui
