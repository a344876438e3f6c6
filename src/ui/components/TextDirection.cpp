#include "ui/components/TextDirection.h"

#include <QLineEdit>

#include <utility>

namespace velmora::ui {
namespace {

// Tells the box's own text changes from the user's: QLineEdit announces a user's change with
// textEdited just before the textChanged that every change raises.
class StartOfTextKeeper : public QObject {
public:
    explicit StartOfTextKeeper(QLineEdit* box)
        : QObject(box) {
        connect(box, &QLineEdit::textEdited, this, [this] { m_userChange = true; });
        connect(box, &QLineEdit::textChanged, this, [this, box] {
            if (!std::exchange(m_userChange, false))
                box->setCursorPosition(0);
        });
    }

private:
    bool m_userChange = false;
};

} // namespace

Qt::LayoutDirection readingDirection(const QString& text) {
    return text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
}

void ReadingDirectionDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->direction = readingDirection(option->text);
}

void showProgramTextFromStart(QLineEdit* box) {
    // Once per box, however often it is asked for.
    static const char* const kKept = "velmoraShowsProgramTextFromStart";
    if (!box->property(kKept).toBool()) {
        box->setProperty(kKept, true);
        new StartOfTextKeeper(box);
    }
    box->setCursorPosition(0);
}

} // namespace velmora::ui
