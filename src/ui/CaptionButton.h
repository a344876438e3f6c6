#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmora::ui {

// The lines of a caption wrapped into a box `width` wide; `advance` gives the width of a text.
// Each line takes as much of the caption as fits, and a line ends only where a reader expects it:
//   - after a run of blanks, which is dropped ("מידה  על מכוני" → "מידה  על" | "מכוני"); blanks
//     at the start of the caption stay;
//   - after a punctuation mark, before the next word ("העתקות:פקס" → "העתקות:" | "פקס",
//     "פקס,טלפון" → "פקס," | "טלפון"), but not inside a number ("03-5551234"). The marks are
//     , . : ; ! ? ) ] and the hyphens - and ־ (maqaf).
// A mark that closes something (, . : ; ! ? ) ]) never begins a line: after "טלפון ,מודם" the
// line ends after the comma, not before it. Only a word wider than the whole box is broken inside
// it, between two letters, so that none of it is cut off at the button's edges.
QStringList wrapCaption(const QString& caption, qreal width,
                        const std::function<qreal(const QString&)>& advance);

// A command button whose caption wraps onto several lines inside the button (wrapCaption), as the
// long Hebrew captions of the order pad need; with a picture, the picture stands above the caption.
class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    explicit CaptionButton(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }

    // The caption's lines as the button shows them at its present size and font.
    QStringList captionLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the caption stands: the button's contents, below the picture if there is one.
    QRect captionArea(const QStyleOptionButton& option) const;

    QPixmap m_picture;
};

} // namespace velmora::ui
