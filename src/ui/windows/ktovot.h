#pragma once

#include <QByteArray>
#include <QList>
#include <QWidget>

#include <optional>

class QLineEdit;

namespace velmora::ui {

class CaptionButton;
class EditCombo;
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

    // Opens the book for recipient row 1 to 5 of the order pad: that row's list is refilled with
    // every line of the address list (its shown recipient cleared), the search text emptied, the
    // table filled with every line and Text2 set to the row. Opening it again for another row
    // retargets the same window.
    void openFor(int row);

private:
    // The order pad's recipient list of the row Text2 names, or nullptr when Text2 names none of
    // 1 to 5 or the order pad is gone.
    EditCombo* targetList() const;
    // lis.dat line by line; a file that cannot be read is reported and gives nothing.
    std::optional<QList<QByteArray>> readLines();
    void buildTable(const QList<QByteArray>& lines);
    static void refill(EditCombo* list, const QList<QByteArray>& lines);

    WindowRegistry& m_registry;
};

} // namespace velmora::ui
