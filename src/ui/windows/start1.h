#pragma once

#include "startup/StartStep.h"
#include "startup/StartStepWindow.h"

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
// the whole run because the selector it holds tells every request which server to use. The
// Start button runs the start step (startup/StartStep.h), which downloads the print-shop
// directory and then shows the order pad.
class start1 : public QWidget, private startup::StartStepWindow {
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

    // What the window has printed on its own surface ("WAIT.........." once a start step ran).
    QString printedText() const { return m_printed; }
    // Where that text stands, in the window's coordinates.
    static QRect printArea();
    bool startStepRunning() const { return m_startStep->isRunning(); }
    // How the last start step ended.
    const startup::StartOutcome& lastStartOutcome() const { return m_lastOutcome; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadStep();

    // The start step's view of the window.
    QString selectorText() const override;
    void setSelectorText(const QString& text) override;
    void beginWait() override;
    void endWait() override;
    void showMessage(const QString& text) override;
    void showMainWindow() override;

    WindowRegistry& m_registry;
    startup::StartStep* m_startStep;
    startup::StartOutcome m_lastOutcome;
    QString m_printed;
};

} // namespace velmora::ui
