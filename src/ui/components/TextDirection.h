#pragma once

#include <QString>
#include <QStyledItemDelegate>
#include <Qt>

class QLineEdit;

namespace velmora::ui {

// How the program's Hebrew and Latin texts read. A text reads right to left when its first
// letter with a direction of its own is Hebrew (or another right-to-left script): "מגדל A-7 צפון"
// reads from its right edge, with "A-7" between the two Hebrew words and "kod042" at the left
// end of a shop entry; a text that starts with a Latin letter reads left to right; a text
// without letters (a number, a date, a blank) too.
Qt::LayoutDirection readingDirection(const QString& text);

// A text box (or the edit line of a list) shows a text that the program puts into it from the
// text's start: the cursor goes to position 0, so that the start of a long entry is in view
// (for a Hebrew text the right end, for a Latin one the left end). Text that the user types,
// pastes or erases leaves the cursor where the user's keys put it. The box lays each text out in
// its own reading direction (Hebrew-first right to left and right-aligned, Latin-first left to
// right and left-aligned), which is QLineEdit's own behaviour as long as nobody fixes its
// layout direction.
void showProgramTextFromStart(QLineEdit* box);

// Draws the items of a list or grid each in its own text's reading direction: a Hebrew-first
// item right to left and right-aligned, so that "מגדל A-7 צפון" keeps a Hebrew reader's order and
// a shop entry ends with its "kod" at the left; an item cut short keeps its start in view.
class ReadingDirectionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace velmora::ui
