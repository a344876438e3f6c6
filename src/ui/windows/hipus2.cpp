#include "ui/windows/hipus2.h"

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
    {Kind::List, "Comboh2", nullptr, 120, 600, 4575, 315, kWindowFont},
    {Kind::Button, "Commandh2", u"לבחור", 120, 1560, 1575, 615, kPt9},
    {Kind::TextBox, "Texth2", nullptr, 4800, 600, 615, 285, kWindowFont},
    {Kind::Label, "Label1", u"בחירת  על  חשבון", 240, 120, 3735, 255, kPt9},
    {Kind::Button, "Command1", u"Help עזרה", 1920, 1560, 1335, 615, kWindowFont},
};

} // namespace

hipus2::hipus2(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral(u"חיפוש Ver 1.1.") + QString::fromUtf16(kCreditLineNoPhone));
    setUpWindow(this, 6165, 3195);
    buildControls(this, kControls);
    Comboh2 = control<EditCombo>(this, "Comboh2");
    Commandh2 = control<CaptionButton>(this, "Commandh2");
    Texth2 = control<QLineEdit>(this, "Texth2");
    Label1 = control<QLabel>(this, "Label1");
    Command1 = control<CaptionButton>(this, "Command1");
    setTabChain(this, {"Comboh2", "Commandh2", "Texth2", "Command1"});

    connect(Commandh2, &QPushButton::clicked, this, &hipus2::Commandh2_Click);
    connect(Command1, &QPushButton::clicked, this, &hipus2::Command1_Click);
    connect(Texth2, &QLineEdit::textChanged, this, &hipus2::Texth2_Change);

    // The loading step: an empty filter, then the list.
    Texth2->clear();
    loadSelectionList(registry, this, Comboh2, history::SearchKey::Account);
}

void hipus2::Commandh2_Click() {
    if (refuseWhileShopSearchWaits(m_registry, this))
        return;
    findPreviousOrders(m_registry, this, history::SearchKey::Account, Comboh2->Text());
    copySearchTemplate(m_registry, this);
    m_registry.open<tavla>();
}

void hipus2::Command1_Click() {
    // The account window names its help page by the fixed path of the data directory.
    m_registry.showHelp(m_registry.helpPage(4));
}

void hipus2::Texth2_Change() {
    narrowSelectionList(m_registry, Comboh2, history::SearchKey::Account, Texth2->text());
}

} // namespace velmora::ui
