#include "ui/windows/start1.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/TextFiles.h"
#include "platform/Inet.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/BrowserPane.h"
#include "ui/windows/velmora.h"

#include <QLabel>
#include <QLineEdit>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Button, "start0", u"Click here - Start!", 1080, 7920, 4575, 495, kPt12},
    {Kind::Browser, "WebBrowser1", nullptr, 240, 600, 10095, 7095},
    {Kind::TextBox, "Text1", nullptr, 120, 8040, 150, 195},
    {Kind::Label, "Label1", nullptr, 120, 120, 9975, 375, kPt12BoldItalicUnderline},
};

// Shown while no start-page address is known (a fresh installation, before the first start).
const char16_t kNoStartPage[] = u"<html><body dir=\"rtl\" style=\"font-family: sans-serif\">"
                                u"<p>לחץ על הכפתור <b>Click here - Start!</b> כדי להתחיל.</p></body></html>";

} // namespace

start1::start1(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral("Start! Ver.1.1") + QString::fromUtf16(kCreditLine));
    setUpWindow(this, 10665, 8595);
    buildControls(this, kControls);
    start0 = control<CaptionButton>(this, "start0");
    WebBrowser1 = control<BrowserPane>(this, "WebBrowser1");
    Text1 = control<QLineEdit>(this, "Text1");
    Label1 = control<QLabel>(this, "Label1");
    Inet1 = registry.makeTransfer(this);
    setTabChain(this, {"start0", "WebBrowser1", "Text1"});

    const WindowContext& context = registry.context();
    Label1->setText(
        QStringLiteral("http://%1      http://%2").arg(context.primaryServer, context.fallbackServer));

    connect(start0, &QPushButton::clicked, this, &start1::start0_Click);
    connect(Inet1, &platform::Inet::StateChanged, this, &start1::Inet1_StateChanged);
    loadStep();
}

QString start1::serverSelector() const {
    return Text1->text();
}

void start1::loadStep() {
    Text1->setText(QStringLiteral("1"));
    const Result<QByteArray> address =
        data::readFirstField(m_registry.dataDir().file(data::files::kStartAddress));
    if (address && !address->isEmpty())
        WebBrowser1->Navigate(QStringLiteral("http://") + data::fromCp1255(*address));
    else
        WebBrowser1->setHtml(QString::fromUtf16(kNoStartPage));
}

void start1::start0_Click() {
    // The start step (directory download) comes here; until then the button opens the order pad.
    m_registry.open<velmora>();
}

void start1::Inet1_StateChanged(int) {
    // Receives the directory page during the start step.
}

} // namespace velmora::ui
