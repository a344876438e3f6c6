#include "ui/windows/start1.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/TextFiles.h"
#include "platform/Inet.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/Dialogs.h"
#include "ui/windows/velmora.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Button, "start0", u"Click here - Start!", 1080, 7920, 4575, 495, kPt12},
    {Kind::Browser, "WebBrowser1", nullptr, 240, 600, 10095, 7095},
    {Kind::TextBox, "Text1", nullptr, 120, 8040, 150, 195},
    {Kind::Label, "Label1", nullptr, 120, 120, 9975, 375, kPt12BoldItalicUnderline},
};

// Shown while no start-page address is known (a fresh installation, before the first start). The
// button's Latin caption stands isolated inside the Hebrew sentence, so its "!" stays at its end.
const char16_t kNoStartPage[] =
    u"<html><body dir=\"rtl\" style=\"font-family: sans-serif\">"
    u"<p>לחץ על הכפתור <b><bdi>Click here - Start!</bdi></b> כדי להתחיל.</p></body></html>";

// The window's own print area: the free strip right of the Start button. (The top left corner,
// where printing would begin on a fresh surface, lies under the banner.)
constexpr int kPrintLeft = 5880, kPrintTop = 7920, kPrintWidth = 4665, kPrintHeight = 495;
constexpr FontSpec kPrintFont{12, true};

// The banner: the two servers' addresses (a bare host:port as http://), a dash for a server the
// settings leave out.
QString serverBanner(const QString& primary, const QString& fallback) {
    const auto shown = [](const QString& server) {
        if (server.isEmpty())
            return QStringLiteral("-");
        return server.contains(u"://") ? server : QStringLiteral("http://") + server;
    };
    return shown(primary) + QStringLiteral("      ") + shown(fallback);
}

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
    Label1->setText(serverBanner(context.primaryServer, context.fallbackServer));

    m_startStep = new startup::StartStep(*Inet1, registry.dataDir(), context.primaryServer,
                                         context.fallbackServer, *this, this);
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
        WebBrowser1->Navigate(startup::startPageUrl(data::fromCp1255(*address),
                                                    m_registry.context().primaryServer,
                                                    m_registry.context().fallbackServer));
    else
        WebBrowser1->setHtml(QString::fromUtf16(kNoStartPage));
}

void start1::start0_Click() {
    // The disabled button is the guard against a second step; the step refuses one anyway.
    m_lastOutcome = m_startStep->run();
}

void start1::Inet1_StateChanged(int state) {
    // With state 12 the directory page goes into ruf29.dat.
    m_startStep->onStateChanged(state);
}

QRect start1::printArea() {
    return QRect(twips(kPrintLeft), twips(kPrintTop), twips(kPrintWidth), twips(kPrintHeight));
}

void start1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_printed.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(designFont(kPrintFont));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(printArea(), Qt::AlignLeft | Qt::AlignVCenter, m_printed);
}

void start1::closeEvent(QCloseEvent* event) {
    // The start step runs inside this window's handler; the window must outlive it. The step
    // ends at the latest with the request time-out.
    if (m_startStep->isRunning()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

QString start1::selectorText() const {
    return Text1->text();
}

void start1::setSelectorText(const QString& text) {
    Text1->setText(text);
}

void start1::beginWait() {
    m_printed = QString::fromLatin1(startup::kWaitText);
    update(printArea());
    start0->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void start1::endWait() {
    QGuiApplication::restoreOverrideCursor();
    start0->setEnabled(true);
}

void start1::showMessage(const QString& text) {
    // The step's busy cursor is still on; the message waits for the user under the usual arrow.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    Dialogs::message(this, text);
    QGuiApplication::restoreOverrideCursor();
}

void start1::showMainWindow() {
    m_registry.open<velmora>();
}

} // namespace velmora::ui
