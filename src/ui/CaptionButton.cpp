#include "ui/CaptionButton.h"

#include "ui/components/TextDirection.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBoundaryFinder>
#include <QTextOption>

namespace velmora::ui {
namespace {

bool isBlank(QChar c) {
    return c == u' ';
}

// Marks after which a line may end, before the next word.
bool isBreakAfterMark(QChar c) {
    return QStringView(u",.:;!?)]-\u05BE").contains(c);
}

// Marks that close something; a line never begins with one of them.
bool isClosingMark(QChar c) {
    return QStringView(u",.:;!?)]").contains(c);
}

// May a line end between caption[i - 1] and caption[i]?
bool canBreakBefore(const QString& caption, qsizetype i) {
    const QChar before = caption.at(i - 1);
    const QChar next = caption.at(i);
    if (isBlank(next))
        return false;
    if (isBlank(before)) {
        // After a run of blanks that follows some text, unless a closing mark comes next.
        qsizetype start = i - 1;
        while (start > 0 && isBlank(caption.at(start - 1)))
            --start;
        return start > 0 && !isClosingMark(next);
    }
    // After a mark (or a run of them), before the next word; not inside a number (1.5, 03-5551).
    if (!isBreakAfterMark(before) || isBreakAfterMark(next))
        return false;
    qsizetype start = i - 1;
    while (start > 0 && isBreakAfterMark(caption.at(start - 1)))
        --start;
    return !(next.isDigit() && start > 0 && caption.at(start - 1).isDigit());
}

QString withoutTrailingBlanks(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && isBlank(text.at(end - 1)))
        --end;
    return text.first(end);
}

} // namespace

QStringList wrapCaption(const QString& caption, qreal width,
                        const std::function<qreal(const QString&)>& advance) {
    const auto fits = [&](const QString& line) {
        return advance(withoutTrailingBlanks(line)) <= width;
    };

    // The caption in pieces that a line may end after.
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 1; i < caption.size(); ++i) {
        if (canBreakBefore(caption, i)) {
            pieces.append(caption.sliced(start, i - start));
            start = i;
        }
    }
    if (start < caption.size())
        pieces.append(caption.sliced(start));

    QStringList lines;
    QString line;
    for (const QString& piece : std::as_const(pieces)) {
        if (line.isEmpty() || fits(line + piece)) {
            line += piece;
        } else {
            lines.append(withoutTrailingBlanks(line));
            line = piece;
        }
        // A piece wider than the whole box: broken between letters (whole characters with their
        // marks), each part as wide as fits.
        while (!fits(line)) {
            QTextBoundaryFinder letters(QTextBoundaryFinder::Grapheme, line);
            qsizetype cut = 0;
            for (qsizetype next = letters.toNextBoundary(); next > 0 && next < line.size();
                 next = letters.toNextBoundary()) {
                if (!fits(line.first(next)))
                    break;
                cut = next;
            }
            if (cut == 0)
                break; // not even one letter fits: it stands alone
            lines.append(line.first(cut));
            line = line.sliced(cut);
        }
    }
    if (!line.isEmpty())
        lines.append(withoutTrailingBlanks(line));
    return lines;
}

CaptionButton::CaptionButton(QWidget* parent)
    : QPushButton(parent) {}

void CaptionButton::setPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

QRect CaptionButton::captionArea(const QStyleOptionButton& option) const {
    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (!m_picture.isNull())
        area.setTop(area.top() + 1 + m_picture.deviceIndependentSize().toSize().height() + 1);
    return area;
}

QStringList CaptionButton::captionLines() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QFontMetricsF metrics(font());
    return wrapCaption(text(), captionArea(option).width(),
                       [&metrics](const QString& line) { return metrics.horizontalAdvance(line); });
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QStringList lines = captionLines();
    QRect area = captionArea(option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    QPoint shift;
    if (isDown()) {
        shift = QPoint(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    if (!m_picture.isNull()) {
        const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        const QSize size = m_picture.deviceIndependentSize().toSize();
        painter.drawPixmap(QPoint(contents.center().x() - size.width() / 2 + 1, contents.top() + 1) + shift,
                           m_picture);
    }
    // The lines as wrapCaption broke them, centred; one paragraph, so that the Hebrew and the
    // Latin parts of a caption keep the order of the whole caption, in the caption's own reading
    // direction (a Hebrew-first caption right to left).
    QTextOption centred(Qt::AlignCenter);
    centred.setWrapMode(QTextOption::ManualWrap);
    centred.setTextDirection(readingDirection(text()));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(font());
    painter.drawText(QRectF(area.translated(shift)), lines.join(QChar::LineSeparator), centred);
}

} // namespace velmora::ui
