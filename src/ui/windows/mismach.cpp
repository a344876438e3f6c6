#include "ui/windows/mismach.h"

#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/Dialogs.h"

#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QStandardPaths>
#include <QWebEngineSettings>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Browser, "WebBrowser1", nullptr, 120, 120, 10425, 8295},
    {Kind::Button, "Command1", u"להדפיס", 120, 8520, 1575, 615, kPt9},
    {Kind::Button, "Command2", u"לשמור כ-PDF", 1800, 8520, 1575, 615, kPt9},
};

// A4 portrait with a margin of 10 mm: the print shops' forms are A4 pages.
QPageLayout pageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

} // namespace

mismach::mismach(WindowRegistry&, QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(titleFor(QString()));
    setUpWindow(this, 10665, 9240);
    buildControls(this, kControls);
    WebBrowser1 = control<BrowserPane>(this, "WebBrowser1");
    Command1 = control<CaptionButton>(this, "Command1");
    Command2 = control<CaptionButton>(this, "Command2");
    setTabChain(this, {"WebBrowser1", "Command1", "Command2"});
    // The captions are Hebrew sentences: "כ-PDF" reads at the left end of its caption.
    for (CaptionButton* button : {Command1, Command2})
        button->setLayoutDirection(Qt::RightToLeft);

    // The documents are Windows-1255, like every file the program writes; a template that does
    // not say so itself is read that way too.
    WebBrowser1->settings()->setDefaultTextEncoding(QStringLiteral("windows-1255"));

    connect(Command1, &QPushButton::clicked, this, &mismach::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &mismach::Command2_Click);
    // A page that asks to be printed (window.print()) gets the same print dialog.
    connect(WebBrowser1, &QWebEngineView::printRequested, this, &mismach::Command1_Click);
    connect(WebBrowser1, &QWebEngineView::printFinished, this, &mismach::WebBrowser1_PrintFinished);
    connect(WebBrowser1, &QWebEngineView::pdfPrintingFinished, this,
            &mismach::WebBrowser1_PdfPrintingFinished);
    connect(WebBrowser1, &QWebEngineView::loadStarted, this, [this] {
        m_loading = true;
        updateButtons();
    });
    connect(WebBrowser1, &QWebEngineView::loadFinished, this, [this] {
        m_loading = false;
        updateButtons();
    });
}

// The view goes before the printer it may still be printing to.
mismach::~mismach() {
    delete WebBrowser1;
}

QString mismach::titleFor(const QString& orderNumber) {
    const QString number = orderNumber.trimmed();
    if (number.isEmpty())
        return QStringLiteral(u"מסמך ההזמנה");
    return QStringLiteral(u"הזמנה מס %1").arg(number);
}

void mismach::showDocument(const QString& file, const QString& orderNumber) {
    m_orderNumber = orderNumber.trimmed();
    setWindowTitle(titleFor(orderNumber));
    // Until the page has loaded, there is nothing to print.
    m_loading = true;
    updateButtons();
    WebBrowser1->Navigate(file);
}

void mismach::updateButtons() {
    // A page still loading would be printed half; one job of each kind at a time.
    Command1->setEnabled(!m_loading && !m_printing);
    Command2->setEnabled(!m_loading && !m_saving);
}

void mismach::Command1_Click() {
    if (m_loading || m_printing)
        return;
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_printer->setPageLayout(pageLayout());
    m_printer->setDocName(windowTitle());
    if (!Dialogs::choosePrinter(this, *m_printer)) {
        m_printer.reset();
        return;
    }
    m_printing = true;
    updateButtons();
    WebBrowser1->print(m_printer.get());
}

void mismach::WebBrowser1_PrintFinished(bool ok) {
    m_printing = false;
    updateButtons();
    if (!ok)
        Dialogs::message(this, QStringLiteral(u"הדפסת מסמך ההזמנה נכשלה."));
}

void mismach::Command2_Click() {
    if (m_loading || m_saving)
        return;
    const QString name = m_orderNumber.isEmpty() ? QStringLiteral(u"הזמנה.pdf")
                                                 : QStringLiteral(u"הזמנה %1.pdf").arg(m_orderNumber);
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
    const QString file =
        Dialogs::saveFile(this, suggested, QStringLiteral("PDF|*.pdf"), QStringLiteral("pdf"));
    if (file.isEmpty())
        return;
    m_saving = true;
    updateButtons();
    WebBrowser1->printToPdf(file, pageLayout());
}

void mismach::WebBrowser1_PdfPrintingFinished(const QString& file, bool ok) {
    m_saving = false;
    updateButtons();
    if (!ok)
        Dialogs::message(
            this,
            QStringLiteral(u"לא ניתן לשמור את מסמך ההזמנה בקובץ %1.").arg(QDir::toNativeSeparators(file)));
}

} // namespace velmora::ui
