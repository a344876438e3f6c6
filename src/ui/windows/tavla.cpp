#include "ui/windows/tavla.h"

#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/FlexGrid.h"

#include <QLabel>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Button, "Commandt1", u"Show, print and save", 120, 4200, 1575, 615, kPt9},
    {Kind::Label, "Label1", u"בחירת  הזמנה קודמת", 1800, 120, 3375, 375, kPt12Underline},
    {Kind::Grid, "MSFlexGrid1", nullptr, 120, 600, 10335, 3375},
    {Kind::Button, "Command1", u"סדר לפי שם הפרויקט", 1920, 4200, 1335, 615},
    {Kind::Button, "Command2", u"סדר לפי על חשבון", 3360, 4200, 1335, 615},
    {Kind::Button, "Command3", u"סדר לפי מסר הזמנה", 4920, 4200, 1335, 615},
    {Kind::Button, "Command4", u"סדר לפי תאריך", 6360, 4200, 1215, 615},
    {Kind::Button, "Command5", u"Help עזרה", 7800, 4200, 1335, 615},
};

} // namespace

tavla::tavla(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral(u"הזמנות קודמות    Ver.1.1") + QString::fromUtf16(kCreditLine));
    setUpWindow(this, 10665, 4965);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0x00, 0xFF, 0xFF));
    setPalette(background);
    setAutoFillBackground(true);
    buildControls(this, kControls);
    Commandt1 = control<CaptionButton>(this, "Commandt1");
    Label1 = control<QLabel>(this, "Label1");
    MSFlexGrid1 = control<FlexGrid>(this, "MSFlexGrid1");
    Command1 = control<CaptionButton>(this, "Command1");
    Command2 = control<CaptionButton>(this, "Command2");
    Command3 = control<CaptionButton>(this, "Command3");
    Command4 = control<CaptionButton>(this, "Command4");
    Command5 = control<CaptionButton>(this, "Command5");
    setTabChain(this,
                {"Commandt1", "MSFlexGrid1", "Command1", "Command2", "Command3", "Command4", "Command5"});

    // Seven columns; the searches fill the heading row and append one row per order.
    MSFlexGrid1->setCols(7);
    MSFlexGrid1->setRows(1);

    connect(Commandt1, &QPushButton::clicked, this, &tavla::Commandt1_Click);
    connect(Command1, &QPushButton::clicked, this, &tavla::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &tavla::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &tavla::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &tavla::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &tavla::Command5_Click);
}

void tavla::Commandt1_Click() {
    // Re-showing the chosen order comes here.
}

void tavla::Command1_Click() {
    // Sorting by project comes here.
}

void tavla::Command2_Click() {
    // Sorting by account comes here.
}

void tavla::Command3_Click() {
    // Sorting by order number comes here.
}

void tavla::Command4_Click() {
    // Sorting by date comes here.
}

void tavla::Command5_Click() {
    m_registry.showHelp(m_registry.helpPage(5));
}

} // namespace velmora::ui
