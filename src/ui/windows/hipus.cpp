#include "ui/windows/hipus.h"

#include "data/Cp1255.h"
#include "history/JournalSearch.h"
#include "history/SearchTemplate.h"
#include "history/SelectionList.h"
#include "platform/Inet.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/HistorySearch.h"
#include "ui/WindowRegistry.h"
#include "ui/components/Dialogs.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/tavla.h"

#include <QPointer>

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
    m_templateRequest = new history::ShopTemplateRequest(*Inet1, registry.dataDir(), this);
    setTabChain(this, {"Comboh", "Commandh", "Texth1", "Command1"});

    connect(Commandh, &QPushButton::clicked, this, &hipus::Commandh_Click);
    connect(Command1, &QPushButton::clicked, this, &hipus::Command1_Click);
    connect(Texth1, &QLineEdit::textChanged, this, &hipus::Texth1_Change);
    connect(Inet1, &platform::Inet::StateChanged, this, &hipus::Inet1_StateChanged);

    // The loading step: an empty filter, the scratch file ruf25.htm gone, the shops listed.
    Texth1->clear();
    (void)history::removeShopListScratch(registry.dataDir());
    loadSelectionList(registry, this, Comboh, history::SearchKey::PrintShop);
}

bool hipus::isWaitingForTemplate() const {
    return m_templateRequest->isWaiting();
}

void hipus::Commandh_Click() {
    if (refuseWhileShopSearchWaits(m_registry, this))
        return;
    const QString selection = Comboh->Text();
    const QByteArray selectionBytes = data::toCp1255(selection);
    if (!history::namesPrintShop(selectionBytes)) {
        Dialogs::message(this, QStringLiteral(u"לא נבחר מכון העתקות!"));
        return;
    }
    findPreviousOrders(m_registry, this, history::SearchKey::PrintShop, selection);

    // The shop's template from the server the selector names, as the submission asks it (and,
    // when that server gives no answer, from the other one, which then serves the run).
    WindowRegistry& registry = m_registry; // this window may be closed during the wait
    const QString selector = registry.serverSelector();
    const std::optional<startup::Server> server = startup::selectedServer(selector);
    if (!server) {
        Dialogs::message(this, history::selectorProblem(selector));
    } else {
        const QPointer<hipus> alive(this);
        const history::ShopTemplateRequest::Outcome outcome =
            m_templateRequest->runWithFailover(*server, registry.servers(), selectionBytes);
        if (!alive) {
            registry.open<tavla>();
            return;
        }
        if (const std::optional<startup::Server> switched = m_templateRequest->switchedTo())
            registry.useServer(*switched);
        if (outcome == history::ShopTemplateRequest::Outcome::Failed ||
            outcome == history::ShopTemplateRequest::Outcome::FileError)
            Dialogs::message(this, m_templateRequest->message());
    }
    registry.open<tavla>();
}

void hipus::Command1_Click() {
    m_registry.showHelp(m_registry.helpPage(2));
}

void hipus::Texth1_Change() {
    narrowSelectionList(m_registry, Comboh, history::SearchKey::PrintShop, Texth1->text());
}

void hipus::Inet1_StateChanged(int state) {
    m_templateRequest->onStateChanged(state);
}

} // namespace velmora::ui
