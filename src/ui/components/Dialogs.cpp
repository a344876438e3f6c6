#include "ui/components/Dialogs.h"

#include "ui/components/DialogHooks.h"
#include "ui/components/FileDialog.h"

#include <QMessageBox>

namespace velmora::ui {

void Dialogs::message(QWidget* parent, const QString& text) {
    if (DialogHooks::active()) {
        DialogHooks::recordMessage(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(kMessageTitle), text, QMessageBox::Ok, parent);
    box.setLayoutDirection(Qt::RightToLeft);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QStringList Dialogs::openFiles(QWidget* parent, const QString& filterList) {
    if (DialogHooks::active())
        return DialogHooks::takeFileAnswer(FileDialog::toQtFilter(filterList)).value_or(QStringList());
    return FileDialog::showOpen(parent, filterList);
}

} // namespace velmora::ui
