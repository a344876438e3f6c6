#pragma once

#include "order/OrderForm.h"
#include "order/OrderRecord.h"
#include "startup/ServerSelector.h"
#include "ui/components/Dialogs.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace velmora::platform {
class Inet;
}

namespace velmora::order {
class OrderSubmitter;
}

namespace velmora::ui {

class BrowserPane;
class CaptionButton;
class EditCombo;
class WindowRegistry;

// The order pad: one order at a time. Creating the window runs its load step, which fills the
// fields from the data directory. Controls keep their design names so that every part of the
// program (and the tests) can read and set them.
class velmora : public QWidget {
    Q_OBJECT
public:
    explicit velmora(WindowRegistry& registry, QWidget* parent = nullptr);

    // The order exactly as the fields hold it now (a list's value is its edit text).
    order::OrderForm buildOrderForm() const;
    // The order record of slots 1 to 38 made from it (slot 1 still holds the status line).
    order::OrderRecord orderRecord() const;

    // Ordering a previous order again: every field takes the form's value but the status line and
    // the date, which stay as they are. A list whose entries hold the value chooses that entry (so
    // the submission does not learn it again; for the print-shop list the choice runs the shop
    // choice, as any choice does); any other value is typed into the list.
    void fillFromPreviousOrder(const order::OrderForm& form);

    // Header.
    QLabel* Label1;
    QLineEdit* text1; // orderer's name (the design name is lower-case)
    QLabel* Label2;
    QLineEdit* Text2; // telephone for queries
    QLabel* Label3;
    EditCombo* Combo1; // account
    QLineEdit* Text29;
    QLabel* Label4;
    EditCombo* Combo2; // project
    QLineEdit* Text30;
    QLabel* Label5;
    EditCombo* Combo3; // print shop
    QLineEdit* Text31;
    QLabel* Label30;
    QLineEdit* Text23; // status line
    QLabel* Label31;
    QLineEdit* Text24; // date
    QLabel* Label32;
    QLineEdit* Text28; // handled-for name
    QLineEdit* Text25;
    QLineEdit* Text26;

    // Plot-file rows.
    QLabel* Label6;
    QLabel* Label7;
    CaptionButton *Command4, *Command5, *Command6, *Command7, *Command8;
    QLineEdit *Text3, *Text5, *Text7, *Text9, *Text11;
    QLineEdit *Text4, *Text6, *Text8, *Text10, *Text12;
    EditCombo *Combo9, *Combo10, *Combo11, *Combo12, *Combo13;
    CaptionButton* Command3;
    CaptionButton* Command11;

    // Recipient rows.
    QLabel* Label18;
    CaptionButton *Command12, *Command13, *Command14, *Command15, *Command16;
    QLineEdit *Text32, *Text33, *Text34, *Text35, *Text36;
    EditCombo *Combo4, *Combo5, *Combo6, *Combo7, *Combo8;
    QLabel *Label19, *Label20, *Label21, *Label22, *Label23;
    QLineEdit *Text13, *Text14, *Text15, *Text16, *Text17;
    QLabel *Label24, *Label25, *Label26, *Label27, *Label28;
    QLineEdit *Text18, *Text19, *Text20, *Text21, *Text22;

    // Bottom row.
    CaptionButton* Command2;
    CaptionButton* Command9;
    CaptionButton* Command10;
    BrowserPane* WebBrowser1;
    QLabel* Label8;
    QLabel* Label10;
    CaptionButton* Command1;

    // The transfer component of the order submission, and the file dialog of the Browse..
    // buttons (through the Dialogs wrapper, which tests can answer).
    platform::Inet* Inet1;
    Dialogs CommonDialog1;

    // Handlers, named after control and event.
    void Combo3_Click();    // a print shop was chosen
    void Command1_Click();  // submit the order
    void Command2_Click();  // search by print shop
    void Command3_Click();  // print-shop information
    void Command9_Click();  // search by project
    void Command10_Click(); // search by account
    void Command11_Click(); // help
    // The template download of the submission: state 12 hands the body to the download target.
    void Inet1_StateChanged(int state);
    // Browse..: plot files into the row's file-name box.
    void Command4_Click() { browse(0); }
    void Command5_Click() { browse(1); }
    void Command6_Click() { browse(2); }
    void Command7_Click() { browse(3); }
    void Command8_Click() { browse(4); }
    // Address book for the recipient row.
    void Command12_Click() { openAddressBook(0); }
    void Command13_Click() { openAddressBook(1); }
    void Command14_Click() { openAddressBook(2); }
    void Command15_Click() { openAddressBook(3); }
    void Command16_Click() { openAddressBook(4); }
    // Completion boxes: narrow the list beside the box.
    void Text29_Change() { narrow(0); }
    void Text30_Change() { narrow(1); }
    void Text31_Change() { narrow(2); }
    void Text32_Change() { narrow(3); }
    void Text33_Change() { narrow(4); }
    void Text34_Change() { narrow(5); }
    void Text35_Change() { narrow(6); }
    void Text36_Change() { narrow(7); }

    // The submission that Command1 runs (tests watch its requests).
    order::OrderSubmitter& submission() const { return *m_submission; }

    // The status line names the server in use after a switch to the other server. The reminder
    // to choose a print shop stays, since submission refuses an order while it is there.
    void showServerInUse(startup::Server server, const QString& base);

    // The controls of file row 0..4 and of recipient row 0..4.
    QLineEdit* fileNameBox(int row) const;
    QLineEdit* quantityBox(int row) const;
    EditCombo* copyTypeList(int row) const;
    EditCombo* recipientList(int row) const;
    QLineEdit* colourCopiesBox(int row) const;
    QLineEdit* blackWhiteCopiesBox(int row) const;

private:
    void browse(int row);
    void openAddressBook(int row);
    void narrow(int box);
    void bindControls();
    void connectHandlers();
    void loadStep();
    order::ListIndexes listIndexes() const;
    order::OrderSubmitter* makeSubmission();

    WindowRegistry& m_registry;
    order::OrderSubmitter* m_submission = nullptr;
};

} // namespace velmora::ui
