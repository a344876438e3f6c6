#include "ui/components/FileDialog.h"

#include <QAbstractItemView>
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
    // Several files may be chosen, and a typed name is taken as it stands, whether such a file
    // exists or not. Qt's mode for several files (ExistingFiles) refuses a name that does not
    // exist: its Open button stays disabled and its accept() warns "File not found". Its AnyFile
    // mode takes any typed name but lets the list select only one file. So the dialog runs in
    // AnyFile mode and its two file views (list and details, which share one selection) get the
    // extended selection back: click, Shift+click and Ctrl+click choose several files again, and
    // the dialog reports them all. It is Qt's own dialog, not the platform's, because only that
    // one has these views.
    QFileDialog dialog(parent, QString(), lastDirectory(), toQtFilter(filterList));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    for (const char* name : {"listView", "treeView"}) {
        if (auto* view = dialog.findChild<QAbstractItemView*>(QString::fromLatin1(name)))
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty())
        lastDirectory() = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

QString FileDialog::showSave(QWidget* parent, const QString& suggested, const QString& filterList,
                             const QString& suffix) {
    QFileDialog dialog(parent, QString(), suggested, toQtFilter(filterList));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace velmora::ui
