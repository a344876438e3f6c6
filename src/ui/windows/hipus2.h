#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace velmora::ui {

class CaptionButton;
class EditCombo;
class WindowRegistry;

// Choose an account ("על חשבון"), then search its previous orders.
class hipus2 : public QWidget {
    Q_OBJECT
public:
    explicit hipus2(WindowRegistry& registry, QWidget* parent = nullptr);

    EditCombo* Comboh2;
    CaptionButton* Commandh2;
    QLabel* Label1;
    QLineEdit* Texth2; // type-ahead filter for the list
    CaptionButton* Command1;

    void Commandh2_Click(); // search the previous orders of the chosen entry
    void Command1_Click();  // help
    void Texth2_Change();   // narrow the list

private:
    WindowRegistry& m_registry;
};

} // namespace velmora::ui
