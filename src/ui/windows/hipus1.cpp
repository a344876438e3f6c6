#include "ui/windows/hipus1.h"

#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/HistorySearch.h"
#include "ui/WindowRegistry.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/tavla.h"

#include <QLabel>
#include <QLineEdit>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::List, "Comboh1", nullptr, 120, 600, 4815, 315, kWindowFont},
    {Kind::Button, "Commandh1", u"לבחור", 240, 1320, 1455, 615, kPt9},
    {Kind::TextBox, "Texth1", nullptr, 5040, 600, 735, 285, kWindowFont},
    {Kind::Label, "Label1", u"בחירת  פרויקטים", 240, 120, 3735, 255, kPt9},
    {Kind::Button, "Command1", u"Help עזרה", 1920, 1320, 1215, 615, kWindowFont},
};

} // namespace

hipus1::hipus1(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral(u"חיפוש  Ver 1.1.") + QString::fromUtf16(kCreditLine));
    setUpWindow(this, 5835, 3195);
    buildControls(this, kControls);
    Comboh1 = control<EditCombo>(this, "Comboh1");
    Commandh1 = control<CaptionButton>(this, "Commandh1");
    Texth1 = control<QLineEdit>(this, "Texth1");
    Label1 = control<QLabel>(this, "Label1");
    Command1 = control<CaptionButton>(this, "Command1");
    setTabChain(this, {"Comboh1", "Commandh1", "Texth1", "Command1"});

    connect(Commandh1, &QPushButton::clicked, this, &hipus1::Commandh1_Click);
    connect(Command1, &QPushButton::clicked, this, &hipus1::Command1_Click);
    connect(Texth1, &QLineEdit::textChanged, this, &hipus1::Texth1_Change);

    // The loading step: an empty filter, then the list.
    Texth1->clear();
    loadSelectionList(registry, this, Comboh1, history::SearchKey::Project);
}

void hipus1::Commandh1_Click() {
    if (refuseWhileShopSearchWaits(m_registry, this))
        return;
    findPreviousOrders(m_registry, this, history::SearchKey::Project, Comboh1->Text());
    copySearchTemplate(m_registry, this);
    m_registry.open<tavla>();
}

void hipus1::Command1_Click() {
    m_registry.showHelp(m_registry.helpPage(3));
}

void hipus1::Texth1_Change() {
    narrowSelectionList(m_registry, Comboh1, history::SearchKey::Project, Texth1->text());
}

} // namespace velmora::ui
