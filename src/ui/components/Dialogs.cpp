#include "ui/components/Dialogs.h"

#include "ui/components/DialogHooks.h"
#include "ui/components/FileDialog.h"

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

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

QString Dialogs::saveFile(QWidget* parent, const QString& suggested, const QString& filterList,
                          const QString& suffix) {
    if (DialogHooks::active())
        return DialogHooks::takeFileAnswer(FileDialog::toQtFilter(filterList))
            .value_or(QStringList())
            .value(0);
    return FileDialog::showSave(parent, suggested, filterList, suffix);
}

bool Dialogs::choosePrinter(QWidget* parent, QPrinter& printer) {
    if (DialogHooks::active()) {
        const QString file = DialogHooks::takePrintAnswer();
        if (file.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace velmora::ui
