#include "ui/components/MailLinkPage.h"

#include <QDesktopServices>

#include <utility>

namespace velmora::ui {

MailLinkPage::MailLinkPage(QObject* parent)
    : QWebEnginePage(parent)
    , m_mailHandler([](const QUrl& url) { QDesktopServices::openUrl(url); }) {}

void MailLinkPage::setMailHandler(MailHandler handler) {
    m_mailHandler = std::move(handler);
}

void MailLinkPage::sendMail(const QUrl& url) const {
    if (m_mailHandler)
        m_mailHandler(url);
}

bool MailLinkPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (url.scheme().compare(u"mailto", Qt::CaseInsensitive) == 0) {
        sendMail(url);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

} // namespace velmora::ui
