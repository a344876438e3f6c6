#pragma once

#include <QWidget>

class QLineEdit;

namespace velmora::ui {

class CaptionButton;
class FlexGrid;
class WindowRegistry;

// The address book: every line of the address list, numbered, to search, sort, delete and to
// choose one for a recipient row of the order pad.
class ktovot : public QWidget {
    Q_OBJECT
public:
    explicit ktovot(WindowRegistry& registry, QWidget* parent = nullptr);

    FlexGrid* MSFlexGrid1;
    CaptionButton* Command1; // search
    CaptionButton* Command2; // choose
    CaptionButton* Command3; // sort ascending
    CaptionButton* Command4; // sort descending
    CaptionButton* Command5; // delete
    QLineEdit* Text1;        // search text
    QLineEdit* Text2;        // the recipient row (1 to 5) the book serves

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void MSFlexGrid1_DblClick() { Command2_Click(); }

private:
    WindowRegistry& m_registry;
};

} // namespace velmora::ui
