#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace velmora::platform {
class Inet;
}

namespace velmora::ui {

class BrowserPane;
class CaptionButton;
class WindowRegistry;

// The start window: the start page, the server selector and the Start button. It stays open for
// the whole run because the selector it holds tells every request which server to use.
class start1 : public QWidget {
    Q_OBJECT
public:
    explicit start1(WindowRegistry& registry, QWidget* parent = nullptr);

    // "1" primary server, "2" fallback server, as the box holds it.
    QString serverSelector() const;

    CaptionButton* start0;
    BrowserPane* WebBrowser1;
    QLineEdit* Text1; // the server selector, tiny but visible and editable
    QLabel* Label1;   // banner: the two server addresses
    platform::Inet* Inet1;

    void start0_Click();
    void Inet1_StateChanged(int state);

private:
    void loadStep();

    WindowRegistry& m_registry;
};

} // namespace velmora::ui
