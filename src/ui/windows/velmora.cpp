#include "ui/windows/velmora.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "order/LoadStep.h"
#include "order/OrderSubmitter.h"
#include "order/Submission.h"
#include "platform/Inet.h"
#include "startup/ServerFailover.h"
#include "tools/EmailPage.h"
#include "tools/ListNarrowing.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/WindowRegistry.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/Dialogs.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/hipus.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/hipus2.h"
#include "ui/windows/ktovot.h"

#include <QDate>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <array>

namespace velmora::ui {
namespace {

// Window font 12 points; inputs and buttons 8.25 points, field labels 12 points underlined.
const ControlDef kControls[] = {
    // Header: orderer, telephone, account, project (labels at the left edge), print shop,
    // status line, date, handled-for name (labels to the right, as Hebrew reads).
    {Kind::Label, "Label1", u"שמ המזמין", 240, 240, 1335, 255, kPt12Underline},
    {Kind::TextBox, "text1", nullptr, 1560, 240, 3135, 375, kPt8},
    {Kind::Label, "Label2", u"טלפון לברורים", 120, 840, 1695, 375, kPt12Underline},
    {Kind::TextBox, "Text2", nullptr, 1920, 840, 3135, 345, kPt8},
    {Kind::Label, "Label3", u"על חשבון", 0, 1320, 1575, 375, kPt12Underline},
    {Kind::List, "Combo1", nullptr, 1920, 1320, 3735, 315, kPt8},
    {Kind::TextBox, "Text29", nullptr, 5760, 1320, 495, 345, kPt8},
    {Kind::Label, "Label4", u"שם הפרויקט", 0, 1800, 1455, 375, kPt12Underline},
    {Kind::List, "Combo2", nullptr, 1920, 1800, 3735, 315, kPt8},
    {Kind::TextBox, "Text30", nullptr, 5760, 1800, 495, 300, kPt8},
    {Kind::Label, "Label5", u"שם המכון העתקות", 7200, 0, 2055, 375, kPt12Underline},
    {Kind::List, "Combo3", nullptr, 6600, 360, 2895, 315, kPt8},
    {Kind::TextBox, "Text31", nullptr, 9600, 360, 495, 300, kPt8},
    {Kind::Label, "Label30", u"הזמנה מס", 9720, 840, 1095, 375, kPt12Underline},
    {Kind::TextBox, "Text23", nullptr, 6600, 840, 3015, 315, kPt9},
    {Kind::Label, "Label31", u"תאריך", 9720, 1320, 1095, 375, kPt12Underline},
    {Kind::TextBox, "Text24", nullptr, 6600, 1320, 3015, 300, kPt8},
    {Kind::Label, "Label32", u"שם המטופל", 9600, 1800, 1215, 375, kPt12Underline},
    {Kind::TextBox, "Text28", nullptr, 6600, 1800, 2895, 345, kPt8},
    {Kind::TextBox, "Text25", nullptr, 10200, 0, 255, 255, kPt8},
    {Kind::TextBox, "Text26", nullptr, 10560, 0, 240, 255, kPt8},
    // Plot-file rows, tops 2640 + 480 per row: Browse.., file name, quantity, copy type.
    {Kind::Label, "Label6", u"שם הקובץ", 6240, 2160, 1095, 375, kPt12Underline},
    {Kind::Label, "Label7", u"כמות", 4800, 2160, 735, 375, kPt12Underline},
    {Kind::Button, "Command4", u"Browse..", 9120, 2640, 735, 375, kPt8},
    {Kind::TextBox, "Text3", nullptr, 5400, 2640, 3615, 345, kPt8},
    {Kind::TextBox, "Text4", nullptr, 4440, 2640, 735, 300, kPt8},
    {Kind::List, "Combo9", nullptr, 1080, 2640, 3015, 315, kPt8},
    {Kind::Button, "Command5", u"Browse..", 9120, 3120, 735, 375, kPt8},
    {Kind::TextBox, "Text5", nullptr, 5400, 3120, 3615, 300, kPt8},
    {Kind::TextBox, "Text6", nullptr, 4440, 3120, 735, 300, kPt8},
    {Kind::List, "Combo10", nullptr, 1080, 3120, 3015, 315, kPt8},
    {Kind::Button, "Command6", u"Browse..", 9120, 3600, 735, 375, kPt8},
    {Kind::TextBox, "Text7", nullptr, 5400, 3600, 3615, 285, kPt8},
    {Kind::TextBox, "Text8", nullptr, 4440, 3600, 735, 255, kPt8},
    {Kind::List, "Combo11", nullptr, 1080, 3600, 3015, 315, kPt8},
    {Kind::Button, "Command7", u"Browse..", 9120, 4080, 735, 420, kPt8},
    {Kind::TextBox, "Text9", nullptr, 5400, 4080, 3615, 300, kPt8},
    {Kind::TextBox, "Text10", nullptr, 4440, 4080, 735, 300, kPt8},
    {Kind::List, "Combo12", nullptr, 1080, 4080, 3015, 315, kPt8},
    {Kind::Button, "Command8", u"Browse..", 9120, 4560, 735, 375, kPt8},
    {Kind::TextBox, "Text11", nullptr, 5400, 4560, 3615, 300, kPt8},
    {Kind::TextBox, "Text12", nullptr, 4440, 4560, 735, 300, kPt8},
    {Kind::List, "Combo13", nullptr, 1080, 4560, 3015, 315, kPt8},
    {Kind::Button, "Command3", u"מידה  על מכוני העתקות:פקס,טלפון ,מודם", 10080, 2640, 855, 1455, kPt8},
    {Kind::Button, "Command11", u"Help  עזרה", 120, 3480, 855, 1335, kPt9},
    // Recipient rows, tops 5040 + 480 per row (Combo8 and Text19 stand a little off the rule).
    {Kind::Label, "Label18", u"לשלוח", 10200, 4680, 1815, 375, kPt12Underline},
    {Kind::Button, "Command12", u"פנכס כתובת", 10200, 5040, 975, 375, kPt8},
    {Kind::TextBox, "Text32", nullptr, 9600, 5040, 495, 345, kPt8},
    {Kind::List, "Combo4", nullptr, 3600, 5040, 5895, 315, kPt8},
    {Kind::Label, "Label19", u"ציבעוני", 2520, 5040, 735, 375, kPt12},
    {Kind::TextBox, "Text13", nullptr, 2040, 5040, 375, 345, kPt8},
    {Kind::Label, "Label24", u"שחור-לבן", 840, 5040, 975, 255, kPt12},
    {Kind::TextBox, "Text18", nullptr, 360, 5040, 375, 300, kPt8},
    {Kind::Button, "Command13", u"פנכס כתובת", 10200, 5520, 975, 375, kPt8},
    {Kind::TextBox, "Text33", nullptr, 9600, 5520, 495, 345, kPt8},
    {Kind::List, "Combo5", nullptr, 3600, 5520, 5895, 315, kPt8},
    {Kind::Label, "Label20", u"ציבעוני", 2520, 5520, 735, 375, kPt12},
    {Kind::TextBox, "Text14", nullptr, 2040, 5520, 375, 300, kPt8},
    {Kind::Label, "Label25", u"שחור-לבן", 840, 5520, 975, 255, kPt12},
    {Kind::TextBox, "Text19", nullptr, 360, 5580, 375, 285, kPt8},
    {Kind::Button, "Command14", u"פנכס כתובת", 10200, 6000, 975, 375, kPt8},
    {Kind::TextBox, "Text34", nullptr, 9600, 6000, 495, 345, kPt8},
    {Kind::List, "Combo6", nullptr, 3600, 6000, 5895, 315, kPt8},
    {Kind::Label, "Label21", u"ציבעוני", 2520, 6000, 735, 375, kPt12},
    {Kind::TextBox, "Text15", nullptr, 2040, 6000, 375, 345, kPt8},
    {Kind::Label, "Label26", u"שחור-לבן", 840, 6000, 975, 255, kPt12},
    {Kind::TextBox, "Text20", nullptr, 360, 6000, 375, 300, kPt8},
    {Kind::Button, "Command15", u"פנכס כתובת", 10200, 6480, 975, 375, kPt8},
    {Kind::TextBox, "Text35", nullptr, 9600, 6480, 495, 300, kPt8},
    {Kind::List, "Combo7", nullptr, 3600, 6480, 5895, 315, kPt8},
    {Kind::Label, "Label22", u"ציבעוני", 2520, 6480, 735, 375, kPt12},
    {Kind::TextBox, "Text16", nullptr, 2040, 6480, 375, 345, kPt8},
    {Kind::Label, "Label27", u"שחור-לבן", 840, 6480, 975, 255, kPt12},
    {Kind::TextBox, "Text21", nullptr, 360, 6480, 375, 345, kPt8},
    {Kind::Button, "Command16", u"פנכס כתובת", 10200, 6960, 975, 375, kPt8},
    {Kind::TextBox, "Text36", nullptr, 9600, 6960, 495, 300, kPt8},
    {Kind::List, "Combo8", nullptr, 3600, 6840, 5895, 315, kPt8},
    {Kind::Label, "Label23", u"ציבעוני", 2520, 6960, 735, 375, kPt12},
    {Kind::TextBox, "Text17", nullptr, 2040, 6960, 375, 345, kPt8},
    {Kind::Label, "Label28", u"שחור-לבן", 840, 6960, 975, 255, kPt12},
    {Kind::TextBox, "Text22", nullptr, 360, 6960, 375, 345, kPt8},
    // Bottom row: searches, the e-mail pane with its labels, submit.
    {Kind::Button, "Command2", u"חפש  הזמנות  קודמות לפי מכון העתקות", 120, 7440, 1215, 615, kPt8},
    {Kind::Button, "Command9", u" חפש הזמנות קודמות לפי שם הפויקט", 1440, 7440, 1215, 615, kPt8},
    {Kind::Button, "Command10", u" חפש הזמנות קודמות לפי על חשבון", 2760, 7440, 1215, 615, kPt8},
    {Kind::Browser, "WebBrowser1", nullptr, 4080, 7320, 3375, 615, kPt8},
    {Kind::Label, "Label8", u"תלחצ ותשלח", 5400, 7920, 1335, 255, kPt8Underline},
    {Kind::Label, "Label10", u"לשוח קבצים  ל-E-MAIL", 7560, 7320, 1335, 495, kPt9Underline},
    {Kind::Button, "Command1", u" לראות ,  להדפיס  ולשמור את הזמנה", 9000, 7440, 1935, 735, kPt9Bold},
};

// The entry that equals the value, character for character, is chosen; any other value is typed.
void chooseOrType(EditCombo* list, const QString& value) {
    const int entry = list->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0)
        list->setListIndex(entry);
    else
        list->setText(value);
}

QString bareName(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return path.mid(cut + 1);
}

} // namespace

velmora::velmora(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral(u"פנקס  הזמנה  אלקטרוני    Ver.1.1") + QString::fromUtf16(kCreditLine));
    setUpWindow(this, 11280, 8190, kPt12);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::WindowText, Qt::black);
    setPalette(windowPalette);

    buildControls(this, kControls);
    bindControls();
    Inet1 = registry.makeTransfer(this);
    m_submission = makeSubmission();

    QPalette status = Text23->palette();
    status.setColor(QPalette::Text, QColor(0xFF, 0x00, 0x00));
    Text23->setPalette(status);

    setTabChain(this,
                {"text1",     "Text2",     "Combo1",      "Combo2",    "Combo3",    "Text4",     "Text3",
                 "Text5",     "Text6",     "Text7",       "Text8",     "Text9",     "Text10",    "Text11",
                 "Text12",    "Combo4",    "Combo5",      "Combo6",    "Combo7",    "Combo8",    "Text13",
                 "Text14",    "Text15",    "Text16",      "Text17",    "Text18",    "Text19",    "Text20",
                 "Text21",    "Text22",    "Command1",    "Command2",  "Text23",    "Text24",    "Text25",
                 "Text26",    "Text28",    "Combo9",      "Combo10",   "Combo11",   "Combo12",   "Combo13",
                 "Text29",    "Text30",    "Text31",      "Text32",    "Text33",    "Text34",    "Text35",
                 "Text36",    "Command3",  "Command4",    "Command5",  "Command6",  "Command7",  "Command8",
                 "Command9",  "Command10", "WebBrowser1", "Command11", "Command12", "Command13", "Command14",
                 "Command15", "Command16"});

    connectHandlers();
    loadStep();
}

void velmora::bindControls() {
    Label1 = control<QLabel>(this, "Label1");
    text1 = control<QLineEdit>(this, "text1");
    Label2 = control<QLabel>(this, "Label2");
    Text2 = control<QLineEdit>(this, "Text2");
    Label3 = control<QLabel>(this, "Label3");
    Combo1 = control<EditCombo>(this, "Combo1");
    Text29 = control<QLineEdit>(this, "Text29");
    Label4 = control<QLabel>(this, "Label4");
    Combo2 = control<EditCombo>(this, "Combo2");
    Text30 = control<QLineEdit>(this, "Text30");
    Label5 = control<QLabel>(this, "Label5");
    Combo3 = control<EditCombo>(this, "Combo3");
    Text31 = control<QLineEdit>(this, "Text31");
    Label30 = control<QLabel>(this, "Label30");
    Text23 = control<QLineEdit>(this, "Text23");
    Label31 = control<QLabel>(this, "Label31");
    Text24 = control<QLineEdit>(this, "Text24");
    Label32 = control<QLabel>(this, "Label32");
    Text28 = control<QLineEdit>(this, "Text28");
    Text25 = control<QLineEdit>(this, "Text25");
    Text26 = control<QLineEdit>(this, "Text26");

    Label6 = control<QLabel>(this, "Label6");
    Label7 = control<QLabel>(this, "Label7");
    Command4 = control<CaptionButton>(this, "Command4");
    Command5 = control<CaptionButton>(this, "Command5");
    Command6 = control<CaptionButton>(this, "Command6");
    Command7 = control<CaptionButton>(this, "Command7");
    Command8 = control<CaptionButton>(this, "Command8");
    Text3 = control<QLineEdit>(this, "Text3");
    Text5 = control<QLineEdit>(this, "Text5");
    Text7 = control<QLineEdit>(this, "Text7");
    Text9 = control<QLineEdit>(this, "Text9");
    Text11 = control<QLineEdit>(this, "Text11");
    Text4 = control<QLineEdit>(this, "Text4");
    Text6 = control<QLineEdit>(this, "Text6");
    Text8 = control<QLineEdit>(this, "Text8");
    Text10 = control<QLineEdit>(this, "Text10");
    Text12 = control<QLineEdit>(this, "Text12");
    Combo9 = control<EditCombo>(this, "Combo9");
    Combo10 = control<EditCombo>(this, "Combo10");
    Combo11 = control<EditCombo>(this, "Combo11");
    Combo12 = control<EditCombo>(this, "Combo12");
    Combo13 = control<EditCombo>(this, "Combo13");
    Command3 = control<CaptionButton>(this, "Command3");
    Command11 = control<CaptionButton>(this, "Command11");

    Label18 = control<QLabel>(this, "Label18");
    Command12 = control<CaptionButton>(this, "Command12");
    Command13 = control<CaptionButton>(this, "Command13");
    Command14 = control<CaptionButton>(this, "Command14");
    Command15 = control<CaptionButton>(this, "Command15");
    Command16 = control<CaptionButton>(this, "Command16");
    Text32 = control<QLineEdit>(this, "Text32");
    Text33 = control<QLineEdit>(this, "Text33");
    Text34 = control<QLineEdit>(this, "Text34");
    Text35 = control<QLineEdit>(this, "Text35");
    Text36 = control<QLineEdit>(this, "Text36");
    Combo4 = control<EditCombo>(this, "Combo4");
    Combo5 = control<EditCombo>(this, "Combo5");
    Combo6 = control<EditCombo>(this, "Combo6");
    Combo7 = control<EditCombo>(this, "Combo7");
    Combo8 = control<EditCombo>(this, "Combo8");
    Label19 = control<QLabel>(this, "Label19");
    Label20 = control<QLabel>(this, "Label20");
    Label21 = control<QLabel>(this, "Label21");
    Label22 = control<QLabel>(this, "Label22");
    Label23 = control<QLabel>(this, "Label23");
    Text13 = control<QLineEdit>(this, "Text13");
    Text14 = control<QLineEdit>(this, "Text14");
    Text15 = control<QLineEdit>(this, "Text15");
    Text16 = control<QLineEdit>(this, "Text16");
    Text17 = control<QLineEdit>(this, "Text17");
    Label24 = control<QLabel>(this, "Label24");
    Label25 = control<QLabel>(this, "Label25");
    Label26 = control<QLabel>(this, "Label26");
    Label27 = control<QLabel>(this, "Label27");
    Label28 = control<QLabel>(this, "Label28");
    Text18 = control<QLineEdit>(this, "Text18");
    Text19 = control<QLineEdit>(this, "Text19");
    Text20 = control<QLineEdit>(this, "Text20");
    Text21 = control<QLineEdit>(this, "Text21");
    Text22 = control<QLineEdit>(this, "Text22");

    Command2 = control<CaptionButton>(this, "Command2");
    Command9 = control<CaptionButton>(this, "Command9");
    Command10 = control<CaptionButton>(this, "Command10");
    WebBrowser1 = control<BrowserPane>(this, "WebBrowser1");
    Label8 = control<QLabel>(this, "Label8");
    Label10 = control<QLabel>(this, "Label10");
    Command1 = control<CaptionButton>(this, "Command1");
}

void velmora::connectHandlers() {
    connect(Combo3, &EditCombo::Click, this, &velmora::Combo3_Click);
    connect(Command1, &QPushButton::clicked, this, &velmora::Command1_Click);
    connect(Inet1, &platform::Inet::StateChanged, this, &velmora::Inet1_StateChanged);
    connect(Command2, &QPushButton::clicked, this, &velmora::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &velmora::Command3_Click);
    connect(Command9, &QPushButton::clicked, this, &velmora::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &velmora::Command10_Click);
    connect(Command11, &QPushButton::clicked, this, &velmora::Command11_Click);
    connect(Command4, &QPushButton::clicked, this, &velmora::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &velmora::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &velmora::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &velmora::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &velmora::Command8_Click);
    connect(Command12, &QPushButton::clicked, this, &velmora::Command12_Click);
    connect(Command13, &QPushButton::clicked, this, &velmora::Command13_Click);
    connect(Command14, &QPushButton::clicked, this, &velmora::Command14_Click);
    connect(Command15, &QPushButton::clicked, this, &velmora::Command15_Click);
    connect(Command16, &QPushButton::clicked, this, &velmora::Command16_Click);
    connect(Text29, &QLineEdit::textChanged, this, &velmora::Text29_Change);
    connect(Text30, &QLineEdit::textChanged, this, &velmora::Text30_Change);
    connect(Text31, &QLineEdit::textChanged, this, &velmora::Text31_Change);
    connect(Text32, &QLineEdit::textChanged, this, &velmora::Text32_Change);
    connect(Text33, &QLineEdit::textChanged, this, &velmora::Text33_Change);
    connect(Text34, &QLineEdit::textChanged, this, &velmora::Text34_Change);
    connect(Text35, &QLineEdit::textChanged, this, &velmora::Text35_Change);
    connect(Text36, &QLineEdit::textChanged, this, &velmora::Text36_Change);
}

QLineEdit* velmora::fileNameBox(int row) const {
    const std::array<QLineEdit*, 5> boxes{Text3, Text5, Text7, Text9, Text11};
    return boxes.at(static_cast<size_t>(row));
}

QLineEdit* velmora::quantityBox(int row) const {
    const std::array<QLineEdit*, 5> boxes{Text4, Text6, Text8, Text10, Text12};
    return boxes.at(static_cast<size_t>(row));
}

EditCombo* velmora::copyTypeList(int row) const {
    const std::array<EditCombo*, 5> lists{Combo9, Combo10, Combo11, Combo12, Combo13};
    return lists.at(static_cast<size_t>(row));
}

EditCombo* velmora::recipientList(int row) const {
    const std::array<EditCombo*, 5> lists{Combo4, Combo5, Combo6, Combo7, Combo8};
    return lists.at(static_cast<size_t>(row));
}

QLineEdit* velmora::colourCopiesBox(int row) const {
    const std::array<QLineEdit*, 5> boxes{Text13, Text14, Text15, Text16, Text17};
    return boxes.at(static_cast<size_t>(row));
}

QLineEdit* velmora::blackWhiteCopiesBox(int row) const {
    const std::array<QLineEdit*, 5> boxes{Text18, Text19, Text20, Text21, Text22};
    return boxes.at(static_cast<size_t>(row));
}

void velmora::loadStep() {
    const order::OrderPadLoad load = order::loadOrderPad(m_registry.dataDir(), QDate::currentDate());
    const auto fill = [](EditCombo* list, const QList<QByteArray>& entries) {
        for (const QByteArray& entry : entries)
            list->AddItem(data::fromCp1255(entry));
    };

    // 1. The orderer's details remembered from the last order.
    const std::array<QLineEdit*, 3> settingsBoxes{text1, Text2, Text28};
    for (qsizetype i = 0; i < load.settings.size() && i < 3; ++i)
        settingsBoxes.at(static_cast<size_t>(i))->setText(data::fromCp1255(load.settings.at(i)));

    // 2. Copy types: the first file row always has one, the other rows may have none.
    const QString colour = QString::fromUtf16(order::kCopyTypeColour);
    const QString blackWhite = QString::fromUtf16(order::kCopyTypeBlackWhite);
    Combo9->AddItem(colour);
    Combo9->AddItem(blackWhite);
    for (EditCombo* list : {Combo10, Combo11, Combo12, Combo13}) {
        list->AddItem(QString::fromUtf16(order::kNoCopyType));
        list->AddItem(colour);
        list->AddItem(blackWhite);
    }
    for (EditCombo* list : {Combo9, Combo10, Combo11, Combo12, Combo13})
        list->setListIndex(0);

    // 3. Print shops. Choosing the first runs the shop choice (status line, e-mail pane).
    fill(Combo3, load.shops);
    Combo3->setListIndex(0);

    // 4, 5. Accounts and projects.
    fill(Combo1, load.accounts);
    Combo1->setListIndex(0);
    fill(Combo2, load.projects);
    Combo2->setListIndex(0);

    // 6. Every recipient list holds the whole address list; the first row starts at the second
    // address. A list too short for its index stays without a choice.
    for (int row = 0; row < 5; ++row) {
        fill(recipientList(row), load.addresses);
        recipientList(row)->setListIndex(row == 0 ? order::kFirstRecipientIndex
                                                  : order::kOtherRecipientIndex);
    }

    // 7. Date.
    Text24->setText(load.date);

    // 8. Empty rows. The fourth recipient's black-and-white box starts with one blank.
    for (QLineEdit* box : {Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12, Text13,
                           Text14, Text15, Text16, Text17, Text18, Text19, Text20, Text22})
        box->clear();
    Text21->setText(QStringLiteral(" "));
    Text25->setText(QStringLiteral("1"));
    Text26->setText(QStringLiteral("0"));

    // 9. Completion boxes (an empty box leaves its list as filled above).
    for (QLineEdit* box : {Text29, Text30, Text31, Text32, Text33, Text34, Text35, Text36})
        box->clear();

    // 10. The reminder replaces what the automatic shop choice put into the status line, so the
    // user has to choose a shop before submitting.
    Text23->setText(QString::fromUtf16(order::kChooseShopReminder));

    if (!load.problems.isEmpty()) {
        Dialogs::message(this,
                         QStringLiteral(u"חלק מקבצי הנתונים חסרים או קצרים מדי, והרשימות שלהם לא מולאו:\n") +
                             load.problems.join(u'\n'));
    }
}

order::OrderForm velmora::buildOrderForm() const {
    order::OrderForm form;
    form.statusLine = Text23->text();
    form.date = Text24->text();
    form.account = Combo1->Text();
    form.project = Combo2->Text();
    form.printShop = Combo3->Text();
    form.orderer = text1->text();
    form.telephone = Text2->text();
    form.handledFor = Text28->text();
    for (size_t row = 0; row < 5; ++row) {
        const int r = static_cast<int>(row);
        form.recipients.at(row) = recipientList(r)->Text();
        form.fileNames.at(row) = fileNameBox(r)->text();
        form.quantities.at(row) = quantityBox(r)->text();
        form.colourCopies.at(row) = colourCopiesBox(r)->text();
        form.blackWhiteCopies.at(row) = blackWhiteCopiesBox(r)->text();
        form.copyTypes.at(row) = copyTypeList(r)->Text();
    }
    form.indexes = listIndexes();
    return form;
}

void velmora::fillFromPreviousOrder(const order::OrderForm& form) {
    text1->setText(form.orderer);
    Text2->setText(form.telephone);
    Text28->setText(form.handledFor);
    chooseOrType(Combo1, form.account);
    chooseOrType(Combo2, form.project);
    chooseOrType(Combo3, form.printShop);
    for (size_t row = 0; row < 5; ++row) {
        const int r = static_cast<int>(row);
        fileNameBox(r)->setText(form.fileNames.at(row));
        quantityBox(r)->setText(form.quantities.at(row));
        chooseOrType(copyTypeList(r), form.copyTypes.at(row));
        chooseOrType(recipientList(r), form.recipients.at(row));
        colourCopiesBox(r)->setText(form.colourCopies.at(row));
        blackWhiteCopiesBox(r)->setText(form.blackWhiteCopies.at(row));
    }
}

order::ListIndexes velmora::listIndexes() const {
    order::ListIndexes indexes;
    indexes.account = Combo1->ListIndex();
    indexes.project = Combo2->ListIndex();
    for (int row = 0; row < 5; ++row)
        indexes.recipients.at(static_cast<size_t>(row)) = recipientList(row)->ListIndex();
    return indexes;
}

order::OrderRecord velmora::orderRecord() const {
    return order::buildRecord(buildOrderForm());
}

void velmora::Combo3_Click() {
    const QString entry = Combo3->Text();
    Text23->setText(tools::shopChoiceStatusLine(entry));
    const Result<tools::EmailPageOutcome> page =
        tools::writeEmailPage(m_registry.dataDir(), data::toCp1255(entry));
    if (!page) {
        Dialogs::message(this, page.error());
        return;
    }
    // A shop without details keeps the pane on the previous shop's page.
    if (*page == tools::EmailPageOutcome::Written)
        WebBrowser1->Navigate(tools::emailPagePath(m_registry.dataDir()));
}

void velmora::showServerInUse(startup::Server server, const QString& base) {
    // Submission refuses an order while the status line begins with "א" (no shop chosen yet).
    if (Text23->text().startsWith(u'\u05D0'))
        return;
    Text23->setText(startup::serverInUseText(server, base));
}

order::OrderSubmitter* velmora::makeSubmission() {
    const WindowContext& context = m_registry.context();
    order::SubmissionSetup setup{context.dataDir, context.primaryServer, context.fallbackServer,
                                 context.viewer, context.launcher};
    order::SubmissionWindow window;
    window.readForm = [this] {
        return buildOrderForm();
    };
    window.printShopText = [this] {
        return Combo3->Text();
    };
    window.listIndexes = [this] {
        return listIndexes();
    };
    window.serverSelector = [this] {
        return m_registry.serverSelector();
    };
    window.useServer = [this](startup::Server server) {
        m_registry.useServer(server);
    };
    window.setSubmitEnabled = [this](bool enabled) {
        Command1->setEnabled(enabled);
    };
    window.showMessage = [this](const QString& text) {
        Dialogs::message(this, text);
    };
    return new order::OrderSubmitter(std::move(setup), std::move(window), *Inet1, this);
}

void velmora::Command1_Click() {
    // A click while a submission waits for the server does nothing (the button is disabled
    // then, and the submission refuses to start twice).
    m_submission->submit();
}

void velmora::Inet1_StateChanged(int state) {
    m_submission->transferStateChanged(state);
}

void velmora::Command2_Click() {
    m_registry.open<hipus>();
}
void velmora::Command9_Click() {
    m_registry.open<hipus1>();
}
void velmora::Command10_Click() {
    m_registry.open<hipus2>();
}
void velmora::Command11_Click() {
    m_registry.showHelp(m_registry.helpPage(1));
}

void velmora::Command3_Click() {
    // "Information on print shops": the chosen shop's line of the directory details (address,
    // fax, telephone, e-mail as the directory gives them).
    const QString entry = Combo3->Text();
    const Result<QByteArray> details = data::readFile(m_registry.dataDir().file(data::files::kShopDetails));
    const std::optional<QByteArray> shop =
        details ? tools::findShopEntry(data::toCp1255(entry), *details) : std::nullopt;
    if (entry.isEmpty() || !shop) {
        Dialogs::message(this, QStringLiteral(u"אין פרטים על מכון ההעתקות \"%1\".").arg(entry));
        return;
    }
    Dialogs::message(this, entry + u'\n' + data::fromCp1255(*shop));
}

void velmora::browse(int row) {
    // The box receives the bare names of the chosen files, joined by " ; ". Cancelling the
    // dialog leaves the box as it was.
    const QStringList paths = CommonDialog1.openFiles(this);
    if (paths.isEmpty())
        return;
    QStringList names;
    for (const QString& path : paths)
        names.append(bareName(path));
    fileNameBox(row)->setText(names.join(QStringLiteral(" ; ")));
}

void velmora::openAddressBook(int row) {
    // Filled before it is shown; an open book is retargeted to this row.
    m_registry.ensure<ktovot>().openFor(row + 1);
    m_registry.open<ktovot>();
}

void velmora::narrow(int box) {
    const tools::CompletionList& completion = tools::kCompletionLists.at(static_cast<size_t>(box));
    const QLineEdit* typedBox = control<QLineEdit>(this, completion.box);
    EditCombo* list = control<EditCombo>(this, completion.list);
    const std::optional<QList<QByteArray>> entries =
        tools::narrowEntriesInFile(m_registry.dataDir(), QString::fromLatin1(completion.file),
                                   data::toCp1255(typedBox->text()), completion.stopsAtAsterisks);
    if (!entries)
        return;
    list->Clear();
    for (const QByteArray& entry : *entries)
        list->AddItem(data::fromCp1255(entry));
}

} // namespace velmora::ui
