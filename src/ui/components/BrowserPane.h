#pragma once

#include "ui/components/MailLinkPage.h"

#include <QFont>
#include <QString>
#include <QUrl>
#include <QWebEngineView>

namespace velmora::ui {

// The embedded browser of the start window, the e-mail pane and the help viewer. Navigate takes
// either a web address ("http://...") or the absolute path of a local HTML file. A mailto link
// in the page is handed to the system's mail program, never opened in the pane.
class BrowserPane : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserPane(QWidget* parent = nullptr);

    // Returns at once; the page loads in the background.
    void Navigate(const QString& address);

    // The URL that the last Navigate asked for.
    QUrl lastNavigated() const { return m_lastNavigated; }

    // The font of the text of a page that sets none of its own (family and size), instead of the
    // web engine's large serif: the small e-mail page then reads in the window's font, on one
    // line.
    void setPageFont(const QFont& font);

    // Replaces the mail program (tests).
    void setMailHandler(MailLinkPage::MailHandler handler);

    // The URL an address stands for: web addresses as they are, everything else as a local file
    // path (a relative path taken from the program's current directory).
    static QUrl urlFor(const QString& address);

private:
    MailLinkPage* m_page;
    QUrl m_lastNavigated;
};

} // namespace velmora::ui
