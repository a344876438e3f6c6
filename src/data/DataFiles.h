#pragma once

#include <QLatin1StringView>
#include <QString>

// The bare names of the files in the data directory. Resolve them with DataDir::file().
namespace velmora::data::files {

// The order pad's own files.
inline constexpr QLatin1StringView kSettings{"const.dat"}; // orderer, telephone, handled-for
inline constexpr QLatin1StringView kAccounts{"hes.dat"};   // account list
inline constexpr QLatin1StringView kProjects{"pro.dat"};   // project list
inline constexpr QLatin1StringView kAddresses{"lis.dat"};  // recipient address list
inline constexpr QLatin1StringView kAccountCount{"hescol.dat"};
inline constexpr QLatin1StringView kProjectCount{"procol.dat"};
inline constexpr QLatin1StringView kAddressCount{"liscol.dat"};
inline constexpr QLatin1StringView kJournal{"vlt.dat"};      // order journal, 38 lines per order
inline constexpr QLatin1StringView kOrderCounter{"vlc.dat"}; // number of orders appended so far
inline constexpr QLatin1StringView kHeading{"korok.txt"};    // heading fragment of the document
// What a submission still has to write after the journal; there only while a submission runs,
// or after one was cut short (order/PendingOrder.h).
inline constexpr QLatin1StringView kPendingOrder{"pending-order.dat"};

// Templates and documents.
inline constexpr QLatin1StringView kTemplate{"sbl.htm"};        // the current order template
inline constexpr QLatin1StringView kLocalTemplate{"sbpro.htm"}; // template of the project/account searches
inline constexpr QLatin1StringView kOrderDocument{"vl1.html"};
inline constexpr QLatin1StringView kDocumentShortcut{"vl.url"};
inline constexpr QLatin1StringView kEmailPage{"em.htm"};

// Every submitted order's document as it was sent, named by the order's journal record number
// with at least six digits: archive/000042.html for record 42.
inline constexpr QLatin1StringView kArchiveFolder{"archive"};
inline QString sentDocument(qsizetype record) {
    return QStringLiteral("%1/%2.html").arg(kArchiveFolder).arg(record, 6, 10, QLatin1Char('0'));
}

// Print-shop directory and start addresses, rebuilt by the start step.
inline constexpr QLatin1StringView kShops{"ruf25.dat"};
inline constexpr QLatin1StringView kShopDetails{"ruf27.dat"};
inline constexpr QLatin1StringView kDirectoryPage{"ruf29.dat"};
inline constexpr QLatin1StringView kStartAddress{"url00.dat"};
inline constexpr QLatin1StringView kSecondAddress{"url01.dat"};
inline constexpr QLatin1StringView kShopDialogScratch{"ruf25.htm"};
inline constexpr QLatin1StringView kAddressScratch{"lisvr.dat"};

// help1.htm (main window) to help5.htm (previous-orders table).
inline QString helpPage(int n) {
    return QStringLiteral("help%1.htm").arg(n);
}

} // namespace velmora::data::files
