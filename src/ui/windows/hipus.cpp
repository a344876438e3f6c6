#include "ui/windows/hipus.h"

#include "platform/Inet.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/EditCombo.h"

#include <QLabel>
#include <QLineEdit>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::List, "Comboh", nullptr, 360, 600, 5055, 315, kWindowFont},
    {Kind::Button, "Commandh", u"לבחור", 960, 1560, 2175, 735, kPt9},
    {Kind::Label, "Label1", u"בחירת  מכון  התקות", 1440, 120, 2535, 375, kPt12Underline},
    {Kind::TextBox, "Texth1", nullptr, 5640, 600, 495, 315, kWindowFont},
    {Kind::Button, "Command1", u"Help עזרה", 3360, 1560, 1095, 735, kWindowFont},
};

} // namespace

hipus::hipus(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral(u"  חיפוש   Ver.1.1") + QString::fromUtf16(kCreditLine));
    setUpWindow(this, 6435, 3195);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0xFF, 0x00, 0xFF));
    setPalette(background);
    setAutoFillBackground(true);
    buildControls(this, kControls);
    Comboh = control<EditCombo>(this, "Comboh");
    Commandh = control<CaptionButton>(this, "Commandh");
    Label1 = control<QLabel>(this, "Label1");
    Texth1 = control<QLineEdit>(this, "Texth1");
    Command1 = control<CaptionButton>(this, "Command1");
    Inet1 = registry.makeTransfer(this);
    setTabChain(this, {"Comboh", "Commandh", "Texth1", "Command1"});

    connect(Commandh, &QPushButton::clicked, this, &hipus::Commandh_Click);
    connect(Command1, &QPushButton::clicked, this, &hipus::Command1_Click);
    connect(Texth1, &QLineEdit::textChanged, this, &hipus::Texth1_Change);
}

void hipus::Commandh_Click() {
    // The search of the previous orders comes here.
}

void hipus::Command1_Click() {
    m_registry.showHelp(m_registry.helpPage(2));
}

void hipus::Texth1_Change() {
    // Narrowing the list by the typed prefix comes here.
}

} // namespace velmora::ui
