#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace velmora::ui {

class CaptionButton;
class EditCombo;
class WindowRegistry;

// Choose a project, then search its previous orders.
class hipus1 : public QWidget {
    Q_OBJECT
public:
    explicit hipus1(WindowRegistry& registry, QWidget* parent = nullptr);

    EditCombo* Comboh1;
    CaptionButton* Commandh1;
    QLabel* Label1;
    QLineEdit* Texth1; // type-ahead filter for the list
    CaptionButton* Command1;

    void Commandh1_Click(); // search the previous orders of the chosen entry
    void Command1_Click();  // help
    void Texth1_Change();   // narrow the list

private:
    WindowRegistry& m_registry;
};

} // namespace velmora::ui
