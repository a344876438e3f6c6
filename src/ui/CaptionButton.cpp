#include "ui/CaptionButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextOption>

namespace velmora::ui {

CaptionButton::CaptionButton(QWidget* parent)
    : QPushButton(parent) {}

void CaptionButton::setPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown()) {
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    if (!m_picture.isNull()) {
        const QSize size = m_picture.deviceIndependentSize().toSize();
        const QPoint topLeft(area.center().x() - size.width() / 2 + 1, area.top() + 1);
        painter.drawPixmap(topLeft, m_picture);
        area.setTop(topLeft.y() + size.height() + 1);
    }
    // Centred and wrapped at blanks; a word wider than the button is broken inside it rather than
    // cut off at both edges.
    QTextOption wrapping(Qt::AlignCenter);
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(font());
    painter.drawText(QRectF(area), text(), wrapping);
}

} // namespace velmora::ui
