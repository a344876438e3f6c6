#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Choosing a print shop shows a one-link page em.htm with a mailto link to the shop's address,
// taken from the shop details ruf27.dat, so that the user can send the plot files by e-mail.
namespace velmora::tools {

// The status line after a choice: "מספר של  " (two blanks) and the chosen entry.
QString shopChoiceStatusLine(const QString& entry);

// The shop's entry in ruf27.dat (read field by field): the first entry whose shop code reads as
// the same number as the chosen entry's («kod12» matches «kod012»). An entry holding "***" ends
// the list; no entry when the shop is not found before it or before the end.
std::optional<QByteArray> findShopEntry(QByteArrayView chosenEntry, const QByteArray& ruf27);

// Everything after the first "EM:" of the entry, further text included; an entry without "EM:"
// gives everything from its third character.
QByteArray emailAddress(QByteArrayView shopEntry);

// "No E-Mail" when the address holds "&nb" (the start of «&nbsp;»); otherwise
// «<a href=mailto:ADDRESS>ADDRESS</a>». The address is made safe for its two places: in the
// unquoted link target, blanks, control characters, quotes, "<", ">" and "`" are percent-encoded
// and "&" becomes "&amp;"; in the link text "&", "<" and ">" are escaped. An ordinary address
// stands unchanged in both places.
QByteArray emailLinkLine(QByteArrayView address);

// em.htm: "<html>", the link line, "</html>", CR LF after each.
QByteArray emailPageContent(QByteArrayView linkLine);

// The whole page for the chosen entry, or none when the shop is not in ruf27.
std::optional<QByteArray> emailPageFor(QByteArrayView chosenEntry, const QByteArray& ruf27);

enum class EmailPageOutcome {
    Written,   // em.htm holds the shop's page
    NotFound,  // the shop is not in ruf27.dat: em.htm is left as it was
    NoDetails, // ruf27.dat is missing: em.htm is left as it was
};

// Looks the chosen entry up in ruf27.dat and rewrites em.htm when the shop is found. Only a
// failure to write em.htm is an error.
Result<EmailPageOutcome> writeEmailPage(const data::DataDir& dir, QByteArrayView chosenEntry);

// Full path of em.htm, for the browser pane.
QString emailPagePath(const data::DataDir& dir);

} // namespace velmora::tools
