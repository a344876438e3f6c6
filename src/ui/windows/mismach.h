#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QPrinter;

namespace velmora::ui {

class BrowserPane;
class CaptionButton;
class WindowRegistry;

// The document window (mismach, "document"): an order document as the program shows it when the
// settings name no viewer of their own, the submitted order's, a re-shown one's or a document
// as sent. Its title names the order. Print goes through the system's print dialog; Save as PDF
// asks for a file and prints the page into it, A4 portrait, text kept as text with its fonts.
class mismach : public QWidget {
    Q_OBJECT
public:
    explicit mismach(WindowRegistry& registry, QWidget* parent = nullptr);
    ~mismach() override;

    // Loads the file (absolute path) and names the order in the title: "הזמנה מס 4201" for the
    // order number « 4201»; an empty number gives "מסמך ההזמנה".
    void showDocument(const QString& file, const QString& orderNumber);

    static QString titleFor(const QString& orderNumber);

    BrowserPane* WebBrowser1;
    CaptionButton* Command1; // print
    CaptionButton* Command2; // save as PDF

    void Command1_Click(); // the print dialog, then the page to the printer chosen
    void Command2_Click(); // the save dialog, then the page as PDF into the file chosen

private:
    void WebBrowser1_PrintFinished(bool ok);
    void WebBrowser1_PdfPrintingFinished(const QString& file, bool ok);
    void updateButtons();

    std::unique_ptr<QPrinter> m_printer; // the printer of the print job under way
    bool m_loading = false;
    bool m_printing = false;
    bool m_saving = false;
    QString m_orderNumber;
};

} // namespace velmora::ui
