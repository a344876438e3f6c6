#include "order/OrderDocument.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/Numbers.h"
#include "data/TextFiles.h"
#include "order/HtmlText.h"

#include <QDir>
#include <QUrl>

#include <cmath>

namespace velmora::order {
namespace {

const QByteArray kEmptyValue = QByteArrayLiteral("&nbsp");

QByteArray placeholderValue(const OrderRecord& record, QByteArrayView number,
                            const DocumentOptions& options) {
    const double n = data::leadingNumber(number);
    if (n > OrderRecord::kSlotCount - 1 && options.valueAboveLastSlot)
        return *options.valueAboveLastSlot;
    // Negative, fractional and too large numbers name no slot: they read as an empty slot.
    if (n < 0 || n > OrderRecord::kSlotCount - 1 || n != std::floor(n))
        return kEmptyValue;
    const QByteArray& text = record.slot(static_cast<int>(n));
    if (text.isEmpty() || text == " ")
        return kEmptyValue;
    return escapeHtmlText(text);
}

void appendLine(QByteArray& out, QByteArrayView text) {
    out.append(text);
    out.append("\r\n");
}

} // namespace

DocumentOptions reshowDocumentOptions() {
    DocumentOptions options;
    options.asteriskFieldEndsBody = true;
    options.valueAboveLastSlot = QByteArrayLiteral("100");
    return options;
}

Result<QByteArray> generateDocument(const OrderRecord& record, const QByteArray& templateBytes,
                                    QByteArrayView heading, const DocumentOptions& options) {
    data::FieldReader reader(templateBytes);
    QByteArray out;

    for (int i = 0; i < kHeadFieldLimit; ++i) {
        if (reader.atEnd())
            return Result<QByteArray>::failure(
                QStringLiteral(u"תבנית ההזמנה %1 פגומה: היא נגמרת לפני סוף הכותרת (/head). המסמך לא נוצר.")
                    .arg(options.templateName));
        const QByteArray field = reader.next();
        appendLine(out, field);
        if (field.contains("/head") || field.contains("/HEAD"))
            break;
    }

    for (int i = 0; i < kSkipFieldLimit; ++i) {
        if (reader.atEnd())
            return Result<QByteArray>::failure(
                QStringLiteral(
                    u"תבנית ההזמנה %1 פגומה: היא נגמרת לפני סימן גוף ההזמנה (140561). המסמך לא נוצר.")
                    .arg(options.templateName));
        if (reader.next().contains("140561"))
            break;
    }

    appendLine(out, "<div align=center><center>");
    appendLine(out, heading);

    while (!reader.atEnd()) {
        const QByteArray field = reader.next();
        if (options.asteriskFieldEndsBody && field.startsWith("***"))
            break;
        const qsizetype p = field.indexOf("###");
        if (p < 0) {
            appendLine(out, field);
            continue;
        }
        appendLine(out, QByteArrayView(field).first(p));
        appendLine(out, placeholderValue(record, field.mid(p + 3, 2), options));
        appendLine(out, field.mid(p + 5));
    }
    return out;
}

Result<QByteArray> readHeading(const data::DataDir& dir) {
    Result<QByteArray> heading = data::readFirstField(dir.file(data::files::kHeading));
    if (!heading)
        return Result<QByteArray>::failure(
            QStringLiteral(u"לא ניתן לקרוא את כותרת מסמך ההזמנה: %1").arg(heading.error()));
    return heading;
}

QString documentPath(const data::DataDir& dir) {
    return QDir::toNativeSeparators(dir.file(data::files::kOrderDocument));
}

QByteArray shortcutContent(const data::DataDir& dir) {
    QByteArray content("[InternetShortcut]\r\nURL=");
    const QString path = documentPath(dir);
    const QByteArray pathBytes = data::toCp1255(path);
    if (data::fromCp1255(pathBytes) == path) {
        content.append(pathBytes);
    } else {
        // A character that Windows-1255 lacks would be written as "?", and the shortcut would
        // point nowhere. Such a path is written as a file: URL, percent-encoded in UTF-8, which
        // is plain ASCII.
        content.append(QUrl::fromLocalFile(dir.file(data::files::kOrderDocument)).toEncoded());
    }
    content.append("\r\n");
    return content;
}

Status writeDocument(const data::DataDir& dir, QByteArrayView document) {
    return data::writeFileAtomic(dir.file(data::files::kOrderDocument), document);
}

Status writeShortcut(const data::DataDir& dir) {
    return data::writeFileAtomic(dir.file(data::files::kDocumentShortcut), shortcutContent(dir));
}

} // namespace velmora::order
