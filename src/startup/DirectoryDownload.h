#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "startup/ServerSelector.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The start step asks the web service for two page addresses and the print-shop directory, and
// turns the directory page into the print-shop list ruf25.dat and the shop details ruf27.dat.
// Everything here works on the bytes of the replies; the transfers themselves belong to the window.
namespace velmora::startup {

enum class StartRequest {
    StartPage,     // the start-page address, stored in url00.dat
    SecondAddress, // the second address, stored in url01.dat
    Directory,     // the print-shop directory page, received into ruf29.dat
};

// "/in1.html" and "/in3.html" on both servers; the directory is "/cgi-bin/ruf.html" on the primary
// server and "/ruf.html" on the fallback server.
QByteArray startRequestPath(StartRequest request, Server server);

// The same for the selector's text; no path for a selector that names no server.
std::optional<QByteArray> startRequestPath(StartRequest request, QStringView selectorText);

// A reply of fewer than three characters (a failed request gives an empty one) counts as no
// answer: the primary server's silence switches the selector to the fallback server.
inline constexpr qsizetype kShortestAnswer = 3;
bool isAnswer(QByteArrayView reply);

// The address at the start of an address reply: the text before the first ".com" followed by
// ".com"; when the reply holds "#/#/#", the text before it instead (this rule wins). Both searches
// are case-sensitive. No address when neither marker occurs or the result is empty.
std::optional<QByteArray> addressFromReply(QByteArrayView reply);

// url00.dat / url01.dat: the address line, then a line "***".
QByteArray addressFileContent(QByteArrayView address);

enum class AddressUpdate { Stored, NoAddress };

// Rewrites the address file (url00.dat or url01.dat) when the reply holds an address; a reply
// without an address leaves the file as it was.
Result<AddressUpdate> storeAddress(const data::DataDir& dir, const QString& fileName, QByteArrayView reply);

// The two files made from the directory page: one CR LF line per directory record in each.
struct DirectoryFiles {
    QByteArray ruf25; // the record up to and including "kod" and the three characters after it
    QByteArray ruf27; // the record from "kod" to its end
    int records = 0;
};

// Reads the page field by field: a field holding "***" ends the directory; a field holding a
// lower-case "kod" is a record (the first "kod" counts); every other field is passed over.
DirectoryFiles splitDirectory(const QByteArray& page);

enum class DirectoryUpdate { Replaced, KeptPrevious };

// Replaces ruf25.dat and ruf27.dat (each atomically) when the split found at least one record.
// A page without records (an empty body, an error page) keeps the previous directory, so a failed download
// never leaves the print-shop lists empty. Whether a transfer that ended in an error may replace the
// directory at all is the caller's decision.
Result<DirectoryUpdate> replaceDirectoryFiles(const data::DataDir& dir, const DirectoryFiles& files);

// Splits ruf29.dat (the page as received) and replaces the directory files as above.
Result<DirectoryUpdate> rebuildDirectory(const data::DataDir& dir);

} // namespace velmora::startup
