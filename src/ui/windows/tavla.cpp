#include "ui/windows/tavla.h"

#include "data/Cp1255.h"
#include "data/Numbers.h"
#include "history/JournalSearch.h"
#include "history/PreviousOrder.h"
#include "history/Reshow.h"
#include "order/OrderSubmitter.h"
#include "ui/CaptionButton.h"
#include "ui/FormBuilder.h"
#include "ui/HistorySearch.h"
#include "ui/WindowRegistry.h"
#include "ui/components/Dialogs.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/hipus.h"
#include "ui/windows/velmora.h"

#include <QLabel>

#include <algorithm>

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Button, "Commandt1", u"Show, print and save", 120, 4200, 1575, 615, kPt9},
    {Kind::Label, "Label1", u"בחירת  הזמנה קודמת", 1800, 120, 3375, 375, kPt12Underline},
    {Kind::Grid, "MSFlexGrid1", nullptr, 120, 600, 10335, 3375},
    {Kind::Button, "Command1", u"סדר לפי שם הפרויקט", 1920, 4200, 1335, 615},
    {Kind::Button, "Command2", u"סדר לפי על חשבון", 3360, 4200, 1335, 615},
    {Kind::Button, "Command3", u"סדר לפי מסר הזמנה", 4920, 4200, 1335, 615},
    {Kind::Button, "Command4", u"סדר לפי תאריך", 6360, 4200, 1215, 615},
    {Kind::Button, "Command5", u"Help עזרה", 7800, 4200, 1335, 615},
    // Beside the title, over the grid's right end.
    {Kind::Button, "Command7", u"כפי שנשלח", 6960, 60, 1695, 480, kPt9},
    {Kind::Button, "Command6", u"הזמנה חוזרת", 8760, 60, 1695, 480, kPt9},
};

} // namespace

tavla::tavla(WindowRegistry& registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry) {
    setWindowTitle(QStringLiteral(u"הזמנות קודמות    Ver.1.1") + QString::fromUtf16(kCreditLine));
    setUpWindow(this, 10665, 4965);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0x00, 0xFF, 0xFF));
    setPalette(background);
    setAutoFillBackground(true);
    buildControls(this, kControls);
    Commandt1 = control<CaptionButton>(this, "Commandt1");
    Label1 = control<QLabel>(this, "Label1");
    MSFlexGrid1 = control<FlexGrid>(this, "MSFlexGrid1");
    Command1 = control<CaptionButton>(this, "Command1");
    Command2 = control<CaptionButton>(this, "Command2");
    Command3 = control<CaptionButton>(this, "Command3");
    Command4 = control<CaptionButton>(this, "Command4");
    Command5 = control<CaptionButton>(this, "Command5");
    Command6 = control<CaptionButton>(this, "Command6");
    Command7 = control<CaptionButton>(this, "Command7");
    setTabChain(this, {"Commandt1", "MSFlexGrid1", "Command1", "Command2", "Command3", "Command4", "Command5",
                       "Command7", "Command6"});

    // Seven columns; the searches fill the heading row and append one row per order.
    MSFlexGrid1->setCols(7);
    MSFlexGrid1->setRows(1);

    connect(Commandt1, &QPushButton::clicked, this, &tavla::Commandt1_Click);
    connect(Command1, &QPushButton::clicked, this, &tavla::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &tavla::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &tavla::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &tavla::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &tavla::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &tavla::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &tavla::Command7_Click);
}

void tavla::prepareTable() {
    for (int col : {3, 4, 5})
        MSFlexGrid1->setColWidth(col, 2000);
    const char16_t* const headings[] = {u"מספר", u"תאריך", u"שם המכון", u"שם הפרויקט", u"על חשבון", u"קוד"};
    for (int col = 1; col <= 6; ++col)
        MSFlexGrid1->setTextMatrix(0, col, QString::fromUtf16(headings[col - 1]));
}

QString tavla::OrderRows::shared(QByteArrayView bytes, int id) {
    if (id < 0)
        return data::fromCp1255(bytes);
    const auto at = static_cast<std::size_t>(id);
    if (at >= m_texts.size())
        m_texts.resize(std::max(at + 1, 2 * m_texts.size()));
    if (m_texts[at].isNull())
        m_texts[at] = data::fromCp1255(bytes);
    return m_texts[at];
}

void tavla::OrderRows::add(const history::FoundOrderView& order) {
    static const QString blank = QStringLiteral(" ");
    // The record number as number text (a blank, then the digits), written straight into its
    // string.
    char16_t digits[24];
    char16_t* const end = digits + 24;
    char16_t* at = end;
    for (qsizetype n = std::max<qsizetype>(order.record, 0);; n /= 10) {
        *--at = static_cast<char16_t>(u'0' + n % 10);
        if (n < 10)
            break;
    }
    *--at = u' ';
    // Cell after cell into one vector that the grid takes over: a hundred thousand rows are
    // filled without a list per row and without copying a string twice.
    m_cells.push_back(blank);
    m_cells.push_back(data::fromCp1255(order.number));
    m_cells.push_back(shared(order.date, order.textIds[0]));
    m_cells.push_back(shared(order.printShop, order.textIds[3]));
    m_cells.push_back(shared(order.project, order.textIds[2]));
    m_cells.push_back(shared(order.account, order.textIds[1]));
    m_cells.emplace_back(reinterpret_cast<const QChar*>(at), end - at);
}

void tavla::appendOrders(OrderRows& orders) {
    MSFlexGrid1->AddRowCells(std::move(orders.m_cells));
    orders.m_cells.clear();
}

void tavla::sortBy(int col) {
    MSFlexGrid1->setCol(col);
    MSFlexGrid1->setSort(FlexGrid::SortDescending);
}

std::optional<qsizetype> tavla::chosenRecord() {
    const std::optional<qsizetype> record =
        history::recordNumberOfCell(data::toCp1255(MSFlexGrid1->TextMatrix(MSFlexGrid1->Row(), 6)));
    if (!record)
        Dialogs::message(this, history::chooseAnOrderMessage());
    return record;
}

void tavla::showDocument(const order::DocumentToShow& document) {
    const WindowContext& context = m_registry.context();
    if (const Status shown = context.launcher.openDocument(context.viewer, document.path,
                                                           data::fromCp1255(document.orderNumber));
        !shown)
        Dialogs::message(this, QStringLiteral(u"לא ניתן לפתוח את מסמך ההזמנה:\n") + shown.error());
}

void tavla::Commandt1_Click() {
    const std::optional<qsizetype> record = chosenRecord();
    if (!record)
        return;
    // A print-shop search still writing sbl.htm would be read half-way.
    if (refuseWhileShopSearchWaits(m_registry, this))
        return;
    const Result<order::DocumentToShow> document = history::reshowOrder(m_registry.dataDir(), *record);
    if (!document) {
        Dialogs::message(this, QStringLiteral(u"לא ניתן להציג את ההזמנה שנבחרה:\n") + document.error());
        return;
    }
    m_registry.close<hipus>();
    showDocument(*document);
}

void tavla::Command6_Click() {
    const std::optional<qsizetype> record = chosenRecord();
    if (!record)
        return;
    // A submission under way reads the print shop and the lists again while it waits.
    velmora* pad = m_registry.find<velmora>();
    if (pad && pad->submission().isRunning()) {
        Dialogs::message(this, QStringLiteral(u"ההזמנה הנוכחית עדיין נשלחת; אפשר להזמין שוב כשתסתיים."));
        return;
    }
    const Result<order::OrderForm> previous = history::previousOrder(m_registry.dataDir(), *record);
    if (!previous) {
        Dialogs::message(this, QStringLiteral(u"לא ניתן לקרוא את ההזמנה שנבחרה:\n") + previous.error());
        return;
    }
    m_registry.ensure<velmora>().fillFromPreviousOrder(*previous);
    m_registry.open<velmora>();
}

void tavla::Command7_Click() {
    const std::optional<qsizetype> record = chosenRecord();
    if (!record)
        return;
    const Result<order::DocumentToShow> sent = history::sentDocument(m_registry.dataDir(), *record);
    if (!sent) {
        Dialogs::message(this, QStringLiteral(u"לא ניתן להציג את ההזמנה שנבחרה:\n") + sent.error());
        return;
    }
    if (sent->path.isEmpty()) {
        Dialogs::message(this, history::notKeptAsSentMessage(data::fromCp1255(sent->orderNumber)));
        return;
    }
    showDocument(*sent);
}

void tavla::Command1_Click() {
    sortBy(4);
}

void tavla::Command2_Click() {
    sortBy(5);
}

void tavla::Command3_Click() {
    sortBy(1);
}

void tavla::Command4_Click() {
    sortBy(2);
}

void tavla::Command5_Click() {
    m_registry.showHelp(m_registry.helpPage(5));
}

} // namespace velmora::ui
