#include "ui/components/EditCombo.h"

#include "ui/components/TextDirection.h"

#include <QLineEdit>

namespace velmora::ui {

EditCombo::EditCombo(QWidget* parent)
    : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    // QComboBox turns an edit line whose text equals an entry into a choice of that entry when
    // editing finishes (Enter, focus leaving). Here typed text stays typed text, so that link goes.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, &EditCombo::onTextEdited);
    // A chosen entry shows from its start, like every text the program puts into a box; the
    // entries of the drop-down read each in its own direction.
    showProgramTextFromStart(lineEdit());
    setItemDelegate(new ReadingDirectionDelegate(this));
    connect(this, &QComboBox::activated, this, &EditCombo::onActivated);
}

QString EditCombo::Text() const {
    return lineEdit()->text();
}

void EditCombo::setText(const QString& text) {
    m_index = -1;
    if (lineEdit()->text() != text)
        setEditText(text);
}

bool EditCombo::setListIndex(int index) {
    if (index < -1 || index >= count())
        return false;
    m_index = index;
    setCurrentIndex(index);
    const QString entry = index >= 0 ? itemText(index) : QString();
    // setCurrentIndex leaves hand-typed text alone when the index does not change.
    if (lineEdit()->text() != entry)
        setEditText(entry);
    if (index >= 0)
        emit Click();
    return true;
}

void EditCombo::AddItem(const QString& entry) {
    const QString text = lineEdit()->text();
    const bool wasEmpty = count() == 0;
    addItem(entry);
    // QComboBox makes the first entry of an empty list the current one; here adding never chooses.
    if (wasEmpty)
        setCurrentIndex(-1);
    if (lineEdit()->text() != text)
        setEditText(text);
}

void EditCombo::Clear() {
    clear();
    m_index = -1;
    if (!lineEdit()->text().isEmpty())
        setEditText(QString());
}

QString EditCombo::List(int index) const {
    return index >= 0 && index < count() ? itemText(index) : QString();
}

void EditCombo::onActivated(int index) {
    if (index < 0 || index >= count())
        return;
    m_index = index;
    if (lineEdit()->text() != itemText(index))
        setEditText(itemText(index));
    emit Click();
}

void EditCombo::onTextEdited() {
    m_index = -1;
}

} // namespace velmora::ui
