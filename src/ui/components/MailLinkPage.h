#pragma once

#include <QUrl>
#include <QWebEnginePage>

#include <functional>

namespace velmora::ui {

// A web page that never opens a mailto address itself: every navigation to one (a clicked link,
// a script, a typed address) goes to the mail handler instead, and the page stays where it is.
class MailLinkPage : public QWebEnginePage {
    Q_OBJECT
public:
    using MailHandler = std::function<void(const QUrl&)>;

    explicit MailLinkPage(QObject* parent = nullptr);

    // By default the desktop's mail program (QDesktopServices).
    void setMailHandler(MailHandler handler);
    // Hands the address to the mail handler.
    void sendMail(const QUrl& url) const;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    MailHandler m_mailHandler;
};

} // namespace velmora::ui
