#pragma once

#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

namespace velmora::ui {

// The one way the windows show message boxes and the file dialog, so that tests can answer them
// (DialogHooks).
class Dialogs {
public:
    // The title of every message box: the program's name.
    static constexpr char16_t kMessageTitle[] = u"Velmora";

    // A modal message box: the text, an OK button, kMessageTitle as title, laid out right to left
    // for the Hebrew texts.
    static void message(QWidget* parent, const QString& text);

    // The open-file dialog for plot files (FileDialog): the chosen full paths, or an empty list
    // when the user cancels.
    static QStringList openFiles(QWidget* parent,
                                 const QString& filterList = QStringLiteral("Plot file|*.plt|All files|*.*"));

    // The save-file dialog (FileDialog::showSave): the chosen full path, or an empty text when
    // the user cancels.
    static QString saveFile(QWidget* parent, const QString& suggested, const QString& filterList,
                            const QString& suffix);

    // The system's print dialog for the printer: true when the user chose to print (the printer
    // then holds the choice), false on cancel.
    static bool choosePrinter(QWidget* parent, QPrinter& printer);
};

} // namespace velmora::ui
