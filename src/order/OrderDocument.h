#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "order/OrderRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The order document vl1.html: the print shop's template filled with the order.
//
// The template is read field by field with the data files' field reader (a comma ends a field and
// is dropped, leading blanks are dropped, quotes around a field are removed); each field becomes
// one CR LF line of the document:
//  1. Head: up to 300 fields are copied unchanged, up to and including the first field that
//     contains "/head" or "/HEAD". Without a head end the copy stops after 300 fields.
//  2. Skip: up to 300 further fields are read and left out, up to and including the first that
//     contains the body marker "140561". Without a marker the 300 fields are lost and the body
//     starts after them.
//  3. The line "<div align=center><center>" (never closed here; the template closes it) and the
//     heading fragment.
//  4. Body, to the end of the template: a field with "###" at p becomes three lines — the text
//     before p, the value of the slot numbered by the leading-number reading of the two
//     characters after "###", and the text from p + 5 on. Only the first placeholder of a field
//     is replaced. An empty slot or one holding a single blank gives "&nbsp" (no semicolon).
//     A number that is no slot of the record (negative, fractional or above 50) is treated as an
//     empty slot. Slot values are inserted as HTML text (see escapeHtmlText).
//
// A template that ends during the head copy or the skip is damaged (typically an empty or
// truncated download): generation fails with an error and produces no document at all.
namespace velmora::order {

inline constexpr int kHeadFieldLimit = 300;
inline constexpr int kSkipFieldLimit = 300;

struct DocumentOptions {
    // A body field whose first three characters are "***" ends the body like the end of the
    // template, and is not written.
    bool asteriskFieldEndsBody = false;
    // The value for a placeholder number above 50; without it such a placeholder is "&nbsp".
    std::optional<QByteArray> valueAboveLastSlot;
    // The template's file name as the error messages name it.
    QString templateName = QStringLiteral("sbl.htm");
};

// Re-showing an order from the journal differs in two points: its template has lines of
// asterisks appended, so a field beginning with "***" ends the body; and a placeholder above 50
// shows "100".
DocumentOptions reshowDocumentOptions();

// The whole document, or an error naming the template when it ends before its head end or before
// its body marker.
Result<QByteArray> generateDocument(const OrderRecord& record, const QByteArray& templateBytes,
                                    QByteArrayView heading, const DocumentOptions& options = {});

// The heading fragment: the first field of korok.txt. A missing or empty file is an error that
// names it; the document cannot be made without it.
Result<QByteArray> readHeading(const data::DataDir& dir);

// vl.url: "[InternetShortcut]", then "URL=" and the document's full path in the platform's own
// notation (on Windows «URL=c:\velmora\vl1.html»), CR LF after each line. A path with a
// character that Windows-1255 lacks is written as a file: URL instead, percent-encoded
// («URL=file:///tmp/%E2%98%83/vl1.html»).
QByteArray shortcutContent(const data::DataDir& dir);

// Rewrite vl1.html / vl.url as a whole.
Status writeDocument(const data::DataDir& dir, QByteArrayView document);
Status writeShortcut(const data::DataDir& dir);

// The document's full path, for the document viewer.
QString documentPath(const data::DataDir& dir);

// An order document for the viewer, with the number of its order, which the program's document
// window names in its title.
struct DocumentToShow {
    QString path;
    QByteArray orderNumber; // slot 1 as the journal holds it (« 4201»)
    bool operator==(const DocumentToShow&) const = default;
};

} // namespace velmora::order
