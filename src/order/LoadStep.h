#pragma once

#include "data/DataDir.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// What the order pad shows right after it is created. The load step only reads the data
// directory; the main window puts the result into its controls. File texts stay Windows-1255 bytes
// here; the window converts them.
namespace velmora::order {

// The copy types of the five file rows. The first row always needs a type; rows 2 to 5 start with
// a single blank that means "no type".
inline constexpr char16_t kCopyTypeColour[] = u"עתקות ציבוניות";
inline constexpr char16_t kCopyTypeBlackWhite[] = u"עתקות שחור-לבן";
inline constexpr char16_t kNoCopyType[] = u" ";

// The status line until the user chooses a print shop. Submission refuses an order while it is
// still there.
inline constexpr char16_t kChooseShopReminder[] = u"אל תשכח לקבוא מכון העתקות!";

struct OrderPadLoad {
    // The first three fields of const.dat: orderer's name, telephone, handled-for name. Fewer when
    // the file is missing or short; the window leaves the remaining boxes empty.
    QList<QByteArray> settings;
    QList<QByteArray> shops;     // ruf25.dat, every field to the end of the file
    QList<QByteArray> accounts;  // hes.dat
    QList<QByteArray> projects;  // pro.dat
    QList<QByteArray> addresses; // lis.dat, offered in each of the five recipient lists
    QString date;                // today as dd-mm-yy

    // One Hebrew sentence per file that is missing or holds fewer fields than the order pad
    // selects; each names its file. The lists that could be read are filled all the same.
    QStringList problems;
};

// The entry each list selects after loading: the first shop, account and project, the second
// address in the first recipient row and the first address in the others. An index the list
// does not have is skipped (nothing is selected).
inline constexpr int kFirstRecipientIndex = 1;
inline constexpr int kOtherRecipientIndex = 0;

// dd-mm-yy: 5 March 2004 gives «05-03-04».
QString orderDate(const QDate& day);

OrderPadLoad loadOrderPad(const data::DataDir& dir, const QDate& today);

} // namespace velmora::order
