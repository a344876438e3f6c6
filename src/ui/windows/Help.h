#pragma once

#include <QString>
#include <QWidget>

namespace velmora::ui {

class BrowserPane;
class WindowRegistry;

// The one help window: a browser pane that shows the page it was last told to show.
class Help : public QWidget {
    Q_OBJECT
public:
    explicit Help(WindowRegistry& registry, QWidget* parent = nullptr);

    void showPage(const QString& page);

    BrowserPane* WebBrowser1;
};

} // namespace velmora::ui
