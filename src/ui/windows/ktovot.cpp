#include "ui/windows/ktovot.h"

#include "addressbook/AddressBook.h"
#include "data/Cp1255.h"
#include "data/Numbers.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/Dialogs.h"
#include "ui/components/EditCombo.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/velmora.h"

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

void ktovot::openFor(int row) {
    // The table shell first, so that a file that cannot be read leaves an empty table.
    MSFlexGrid1->setRows(1);
    buildTable({});
    Text2->setText(QString::number(row));
    const std::optional<QList<QByteArray>> lines = readLines();
    if (!lines)
        return;
    if (EditCombo* list = targetList())
        refill(list, *lines);
    Text1->clear();
    buildTable(*lines);
}

EditCombo* ktovot::targetList() const {
    const double row = data::leadingNumber(data::toCp1255(Text2->text()));
    velmora* pad = m_registry.find<velmora>();
    if (!pad || row < 1 || row > 5 || row != static_cast<int>(row))
        return nullptr;
    return pad->recipientList(static_cast<int>(row) - 1);
}

std::optional<QList<QByteArray>> ktovot::readLines() {
    Result<QList<QByteArray>> lines = addressbook::readAddressLines(m_registry.dataDir());
    if (!lines) {
        Dialogs::message(this, lines.error());
        return std::nullopt;
    }
    return std::move(lines).value();
}

void ktovot::buildTable(const QList<QByteArray>& lines) {
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->Clear();
    MSFlexGrid1->setColWidth(0, 500);
    MSFlexGrid1->setColWidth(1, 8000);
    MSFlexGrid1->setTextMatrix(0, 0, QStringLiteral(u"מספר"));
    MSFlexGrid1->setTextMatrix(0, 1, QStringLiteral(u"כתובת"));
    const QList<addressbook::AddressRow> rows = addressbook::addressRows(lines, Text1->text());
    QList<QStringList> cells;
    cells.reserve(rows.size());
    for (const addressbook::AddressRow& row : rows)
        cells.append({QString::fromLatin1(data::numberText(static_cast<double>(row.number))),
                      data::fromCp1255(row.line)});
    // Cell by cell rather than as TAB-separated text: a TAB in an address stays in its cell.
    for (const QStringList& row : cells) {
        MSFlexGrid1->AddItem(QString());
        const int r = MSFlexGrid1->Rows() - 1;
        MSFlexGrid1->setTextMatrix(r, 0, row[0]);
        MSFlexGrid1->setTextMatrix(r, 1, row[1]);
    }
}

void ktovot::refill(EditCombo* list, const QList<QByteArray>& lines) {
    list->Clear();
    for (const QByteArray& line : lines)
        list->AddItem(data::fromCp1255(line));
}

void ktovot::Command1_Click() {
    if (const std::optional<QList<QByteArray>> lines = readLines())
        buildTable(*lines);
}

void ktovot::Command2_Click() {
    // The heading row names no address; a target that is no recipient row does nothing.
    const int row = MSFlexGrid1->Row();
    EditCombo* list = targetList();
    if (row < 1 || !list)
        return;
    const auto number =
        static_cast<qsizetype>(data::leadingNumber(data::toCp1255(MSFlexGrid1->TextMatrix(row, 0))));
    const QByteArray address = data::toCp1255(MSFlexGrid1->TextMatrix(row, 1));
    // The book is not modal: since it was opened the order pad may have narrowed the list or a
    // submission may have added a line. Refill the list from the file as it is now and choose the
    // line the user clicked, by its number while it still holds that address.
    const std::optional<QList<QByteArray>> lines = readLines();
    if (!lines)
        return;
    const std::optional<qsizetype> entry = addressbook::chosenEntry(*lines, number, address);
    if (!entry)
        return;
    refill(list, *lines);
    list->setListIndex(static_cast<int>(*entry));
    close();
}

void ktovot::Command3_Click() {
    MSFlexGrid1->setCol(1);
    MSFlexGrid1->setSort(FlexGrid::SortAscending);
}

void ktovot::Command4_Click() {
    MSFlexGrid1->setCol(1);
    MSFlexGrid1->setSort(FlexGrid::SortDescending);
}

void ktovot::Command5_Click() {
    // No confirmation and no undo. The heading row deletes nothing.
    const int row = MSFlexGrid1->Row();
    if (row < 1)
        return;
    const auto number =
        static_cast<qsizetype>(data::leadingNumber(data::toCp1255(MSFlexGrid1->TextMatrix(row, 0))));
    const QByteArray address = data::toCp1255(MSFlexGrid1->TextMatrix(row, 1));
    const Result<addressbook::Deletion> deleted =
        addressbook::deleteAddress(m_registry.dataDir(), number, address);
    if (!deleted) {
        Dialogs::message(this, deleted.error());
        return;
    }
    const std::optional<QList<QByteArray>> lines = readLines();
    if (!lines)
        return;
    // Only the book's own recipient row is refilled; the other rows keep what they show.
    if (EditCombo* list = targetList())
        refill(list, *lines);
    buildTable(*lines);
}

} // namespace velmora::ui
