#pragma once

#include <QComboBox>
#include <QString>

namespace velmora::ui {

// A drop-down list whose edit line also takes typed text, with the rules the program's lists
// rely on:
// - Text() is the edit text: the chosen entry or whatever was typed.
// - ListIndex() is the position of the chosen entry, or -1 whenever the edit text was typed or
//   changed by hand, even when the typed text equals an entry (no completion, no matching).
// - AddItem() appends at the end (entries keep the order in which they were added) and never
//   chooses an entry by itself; the edit text stays as it was.
// - Clear() removes every entry, empties the edit text and chooses nothing.
// - setListIndex(i) counts as a choice: the edit text becomes entry i and Click() is raised,
//   also when i is already the chosen index. setListIndex(-1) chooses nothing and empties the
//   edit text without Click(). An index out of range changes nothing and returns false.
// - A choice by the user from the drop-down (mouse, keyboard, wheel) raises Click() too.
// - setText() from the program counts like typing: the index becomes -1 and no Click() follows.
// - Whatever the program or a choice puts into the edit line shows from its start
//   (showProgramTextFromStart); typed text reads in its own direction.
class EditCombo : public QComboBox {
    Q_OBJECT
public:
    explicit EditCombo(QWidget* parent = nullptr);

    QString Text() const;
    void setText(const QString& text);

    int ListIndex() const { return m_index; }
    bool setListIndex(int index);

    void AddItem(const QString& entry);
    void Clear();
    int ListCount() const { return count(); }
    // Entry i, or the empty text when there is no such entry.
    QString List(int index) const;

signals:
    // A choice from the list, by the user or by setListIndex.
    void Click();

private:
    void onActivated(int index);
    void onTextEdited();

    int m_index = -1;
};

} // namespace velmora::ui
