#pragma once

#include <QPixmap>
#include <QPushButton>

namespace velmora::ui {

// A command button whose caption wraps onto several lines inside the button, as the long Hebrew
// captions of the order pad need; with a picture, the picture stands above the caption.
class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    explicit CaptionButton(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};

} // namespace velmora::ui
