#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace velmora::ui {

// The open-file dialog for plot files. Callers go through Dialogs::openFiles, which tests can
// answer without a dialog appearing.
class FileDialog {
public:
    // "Plot file|*.plt|All files|*.*" → "Plot file (*.plt);;All files (*)": description and
    // pattern alternate, separated by "|"; several patterns of one entry are separated by ";".
    // The pattern "*.*" means every file, also those without a dot in the name. A description
    // without its pattern at the end is dropped.
    static QString toQtFilter(const QString& filterList);

    // Shows the modal open dialog: several files may be chosen, and a typed name is taken even
    // when no such file exists. Returns the full paths in the order the dialog reports them, or
    // an empty list on cancel. The next dialog opens in the directory of the last choice.
    static QStringList showOpen(QWidget* parent, const QString& filterList);

    // Shows the modal save dialog, starting with the suggested path; a name typed without an
    // extension gets `suffix`, and an existing file is replaced only after the dialog asked.
    // Returns the full path, or an empty text on cancel.
    static QString showSave(QWidget* parent, const QString& suggested, const QString& filterList,
                            const QString& suffix);
};

} // namespace velmora::ui
