#include "ui/components/BrowserPane.h"

#include "platform/TlsTrust.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QWebEngineCertificateError>
#include <QWebEngineSettings>

#include <utility>

namespace velmora::ui {

BrowserPane::BrowserPane(QWidget* parent)
    : QWebEngineView(parent)
    , m_page(new MailLinkPage(this)) {
    setPage(m_page);
    // The web engine keeps a certificate store of its own: a page on a server that the program's
    // own requests trust (the system's certificates and those of the trustedCertificates setting)
    // is shown; any other certificate error stays an error page.
    connect(m_page, &QWebEnginePage::certificateError, this, [](const QWebEngineCertificateError& error) {
        QWebEngineCertificateError decision = error;
        if (platform::certificateChainTrusted(decision.certificateChain(), decision.url().host()))
            decision.acceptCertificate();
        else
            decision.rejectCertificate();
    });
}

QUrl BrowserPane::urlFor(const QString& address) {
    const QString trimmed = address.trimmed();
    static const QString schemes[] = {QStringLiteral("http:"), QStringLiteral("https:"),
                                      QStringLiteral("mailto:"), QStringLiteral("file:")};
    for (const QString& scheme : schemes)
        if (trimmed.startsWith(scheme, Qt::CaseInsensitive))
            return QUrl(trimmed, QUrl::TolerantMode);
    if (trimmed.isEmpty())
        return {};
    return QUrl::fromLocalFile(QFileInfo(trimmed).absoluteFilePath());
}

void BrowserPane::Navigate(const QString& address) {
    m_lastNavigated = urlFor(address);
    if (m_lastNavigated.scheme().compare(u"mailto", Qt::CaseInsensitive) == 0) {
        m_page->sendMail(m_lastNavigated);
        return;
    }
    load(m_lastNavigated);
}

void BrowserPane::setPageFont(const QFont& font) {
    // The family that the font really resolves to here, so the page gets a face that exists.
    const QFontInfo resolved(font);
    QWebEngineSettings* pageSettings = settings();
    for (const auto family : {QWebEngineSettings::StandardFont, QWebEngineSettings::SansSerifFont})
        pageSettings->setFontFamily(family, resolved.family());
    // Web font sizes are CSS pixels, which are the design's pixels.
    pageSettings->setFontSize(QWebEngineSettings::DefaultFontSize, resolved.pixelSize());
}

void BrowserPane::setMailHandler(MailLinkPage::MailHandler handler) {
    m_page->setMailHandler(std::move(handler));
}

} // namespace velmora::ui
