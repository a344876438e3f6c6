#include "history/Reshow.h"

#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/Journal.h"
#include "data/Numbers.h"
#include "data/TextFiles.h"
#include "order/OrderDocument.h"
#include "order/OrderRecord.h"

#include <cmath>

namespace velmora::history {

QString chooseAnOrderMessage() {
    return QStringLiteral(u"צריך לבחור את ההזמנה!");
}

std::optional<qsizetype> recordNumberOfCell(QByteArrayView cell) {
    const double n = data::leadingNumber(cell);
    if (n < 1 || n != std::floor(n) || n > 1e15)
        return std::nullopt;
    return static_cast<qsizetype>(n);
}

QByteArray reshowTemplateTail() {
    const QByteArray line = QByteArray(37, '*') + "\r\n";
    return line.repeated(5);
}

Result<order::DocumentToShow> reshowOrder(const data::DataDir& dir, qsizetype record) {
    using Shown = Result<order::DocumentToShow>;
    const Result<data::JournalRecord> read = data::Journal(dir).read(record);
    if (!read)
        return Shown::failure(read.error());
    const order::OrderRecord order = order::fromJournalRecord(*read);

    // sbl.htm as it will be after the asterisk lines are appended; a missing file is created.
    const QString templatePath = dir.file(data::files::kTemplate);
    QByteArray tail;
    QByteArray templateBytes;
    if (data::fileExists(templatePath)) {
        Result<QByteArray> current = data::readFile(templatePath);
        if (!current)
            return Shown::failure(current.error());
        templateBytes = std::move(current).value();
        if (!templateBytes.isEmpty() && !templateBytes.endsWith('\r') && !templateBytes.endsWith('\n'))
            tail = "\r\n";
    }
    tail += reshowTemplateTail();
    templateBytes += tail;

    const Result<QByteArray> heading = order::readHeading(dir);
    if (!heading)
        return Shown::failure(heading.error());
    const Result<QByteArray> document =
        order::generateDocument(order, templateBytes, *heading, order::reshowDocumentOptions());
    if (!document)
        return Shown::failure(document.error());

    if (const Status appended = data::appendDurable(templatePath, tail); !appended)
        return Shown::failure(appended.error());
    if (const Status written = order::writeDocument(dir, *document); !written)
        return Shown::failure(written.error());
    if (const Status written = order::writeShortcut(dir); !written)
        return Shown::failure(written.error());
    return order::DocumentToShow{order::documentPath(dir), order.slot(order::Slot::OrderNumber)};
}

} // namespace velmora::history
