#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;

namespace velmora::history {
struct FoundOrderView;
}
namespace velmora::order {
struct DocumentToShow;
}

namespace velmora::ui {

class CaptionButton;
class FlexGrid;
class WindowRegistry;

// The previous orders found by the searches, one row per order, with four sorts, the button
// that shows a chosen order again, the button that shows its document as it was sent and the one
// that fills the order pad with it for a new order.
class tavla : public QWidget {
    Q_OBJECT
public:
    explicit tavla(WindowRegistry& registry, QWidget* parent = nullptr);

    CaptionButton* Commandt1;
    QLabel* Label1;
    FlexGrid* MSFlexGrid1;
    CaptionButton* Command1;
    CaptionButton* Command2;
    CaptionButton* Command3;
    CaptionButton* Command4;
    CaptionButton* Command5;
    CaptionButton* Command6; // order again
    CaptionButton* Command7; // as sent

    void Commandt1_Click(); // show, print and save the chosen order again
    void Command1_Click();  // sort by project
    void Command2_Click();  // sort by account
    void Command3_Click();  // sort by order number
    void Command4_Click();  // sort by date
    void Command5_Click();  // help
    void Command6_Click();  // order again: the chosen order into the order pad
    void Command7_Click();  // the chosen order's document as it was sent

    // Before each search: the widths of the shop, project and account columns and the headings.
    // The rows already in the table stay.
    void prepareTable();
    // The cells of an order's row: a blank, order number, date, print shop, project, account and
    // the record number. Equal texts that share their bytes become one shared string, which keeps
    // a table of many thousand rows small and quick to fill.
    class OrderRows {
    public:
        void add(const history::FoundOrderView& order);
        qsizetype count() const { return static_cast<qsizetype>(m_cells.size() / 7); }

    private:
        friend class tavla;
        QString shared(QByteArrayView bytes, int id);
        std::vector<QString> m_texts; // by the search's text number
        std::vector<QString> m_cells; // seven a row, row after row
    };
    // Appends the rows after the rows the table holds, in one insertion; `orders` is left empty.
    void appendOrders(OrderRows& orders);

private:
    // The generic descending sort by the column, whole rows moving.
    void sortBy(int col);
    // The record number of the current row; none (after the message) for the heading row.
    std::optional<qsizetype> chosenRecord();
    // Opens the document in the viewer, or reports why it could not be opened.
    void showDocument(const order::DocumentToShow& document);

    WindowRegistry& m_registry;
};

} // namespace velmora::ui
