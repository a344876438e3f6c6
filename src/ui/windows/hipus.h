#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace velmora::platform {
class Inet;
}

namespace velmora::history {
class ShopTemplateRequest;
}

namespace velmora::ui {

class CaptionButton;
class EditCombo;
class WindowRegistry;

// Choose a print shop, then search its previous orders.
class hipus : public QWidget {
    Q_OBJECT
public:
    explicit hipus(WindowRegistry& registry, QWidget* parent = nullptr);

    EditCombo* Comboh;
    CaptionButton* Commandh;
    QLabel* Label1;
    QLineEdit* Texth1; // type-ahead filter for the list
    CaptionButton* Command1;
    platform::Inet* Inet1; // the template request of the search

    void Commandh_Click(); // search the previous orders of the chosen entry
    void Command1_Click(); // help
    void Texth1_Change();  // narrow the list
    // The template request's state notification: state 12 hands the body to sbl.htm.
    void Inet1_StateChanged(int state);

    // True while the search waits for the shop's template.
    bool isWaitingForTemplate() const;

private:
    WindowRegistry& m_registry;
    history::ShopTemplateRequest* m_templateRequest;
};

} // namespace velmora::ui
