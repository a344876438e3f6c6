#include "ui/windows/ktovot.h"

#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/FlexGrid.h"

#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Grid, "MSFlexGrid1", nullptr, 360, 240, 8895, 4215},
    {Kind::Button, "Command1", u"..חיפוש", 3480, 4560, 855, 495},
    {Kind::PictureButton, "Command2", u"לבחור", 4440, 4560, 855, 735},
    {Kind::PictureButton, "Command3", u"לסדר", 5400, 4560, 855, 735},
    {Kind::PictureButton, "Command4", u"לסדר", 6360, 4560, 855, 735},
    {Kind::PictureButton, "Command5", u"למחוק", 7320, 4560, 855, 735},
    {Kind::TextBox, "Text1", nullptr, 120, 4680, 3255, 285},
    {Kind::TextBox, "Text2", nullptr, 9240, 0, 150, 195},
};

enum class Picture { Choose, SortUp, SortDown, Delete };

// Small pictures in the 16 basic colours: a check mark (choose), arrows (sort) and a cross (delete).
QPixmap picture(Picture kind) {
    const QSize size = kind == Picture::Choose ? QSize(24, 22) : QSize(16, 16);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    switch (kind) {
    case Picture::Choose:
        painter.setPen(QPen(QColor(0x00, 0x80, 0x00), 3));
        painter.drawPolyline(QPolygon({QPoint(4, 11), QPoint(9, 17), QPoint(20, 4)}));
        break;
    case Picture::SortUp:
    case Picture::SortDown: {
        const bool up = kind == Picture::SortUp;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x00, 0x00, 0x80));
        painter.drawRect(7, up ? 6 : 1, 2, 9);
        QPolygon head = up ? QPolygon({QPoint(2, 7), QPoint(8, 1), QPoint(14, 7)})
                           : QPolygon({QPoint(2, 9), QPoint(8, 15), QPoint(14, 9)});
        painter.drawPolygon(head);
        break;
    }
    case Picture::Delete:
        painter.setPen(QPen(QColor(0xFF, 0x00, 0x00), 3));
        painter.drawLine(3, 3, 13, 13);
        painter.drawLine(13, 3, 3, 13);
        break;
    }
    return pixmap;
}

} // namespace

ktovot::ktovot(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral("Form1"));
    setUpWindow(this, 9975, 5460);
    buildControls(this, kControls);
    MSFlexGrid1 = control<FlexGrid>(this, "MSFlexGrid1");
    Command1 = control<CaptionButton>(this, "Command1");
    Command2 = control<CaptionButton>(this, "Command2");
    Command3 = control<CaptionButton>(this, "Command3");
    Command4 = control<CaptionButton>(this, "Command4");
    Command5 = control<CaptionButton>(this, "Command5");
    Text1 = control<QLineEdit>(this, "Text1");
    Text2 = control<QLineEdit>(this, "Text2");
    setTabChain(
        this, {"MSFlexGrid1", "Command1", "Command2", "Command3", "Command4", "Command5", "Text1", "Text2"});

    Command2->setPicture(picture(Picture::Choose));
    Command3->setPicture(picture(Picture::SortUp));
    Command4->setPicture(picture(Picture::SortDown));
    Command5->setPicture(picture(Picture::Delete));

    // Two columns: the line's number and the address.
    MSFlexGrid1->setCols(2);
    MSFlexGrid1->setRows(1);

    connect(Command1, &QPushButton::clicked, this, &ktovot::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ktovot::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &ktovot::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &ktovot::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &ktovot::Command5_Click);
    connect(MSFlexGrid1, &FlexGrid::DblClick, this, &ktovot::MSFlexGrid1_DblClick);
}

void ktovot::Command1_Click() {
    // Searching the addresses comes here.
}

void ktovot::Command2_Click() {
    // Choosing an address for the recipient row comes here.
}

void ktovot::Command3_Click() {
    // Sorting ascending comes here.
}

void ktovot::Command4_Click() {
    // Sorting descending comes here.
}

void ktovot::Command5_Click() {
    // Deleting an address comes here.
}

} // namespace velmora::ui
