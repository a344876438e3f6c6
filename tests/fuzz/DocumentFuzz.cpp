// The order document from a template and an order, both taken from the input.
//  - Generating never fails but for a template that ends before its head end or body marker.
//  - Nothing of an order's texts reaches the document as markup: the document equals the one
//    made with a harmless token in every slot, each token line then replaced by the escaped
//    text (or "&nbsp" for an empty slot).

#include "FuzzCheck.h"

#include "order/HtmlText.h"
#include "order/OrderDocument.h"
#include "order/OrderRecord.h"

namespace {

QByteArray token(int slot) {
    return "@@SLOT" + QByteArray::number(slot) + "@@";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora::order;
    const QList<QByteArray> parts = velmora::fuzz::parts(velmora::fuzz::input(data, size), 2);
    const QByteArray& templateBytes = parts[0];
    // The order's texts: lines of the second part, as slots 1, 2, 3 ...; stored texts never hold
    // a line break.
    const QList<QByteArray> texts = parts[1].split('\n');
    if (templateBytes.contains("@@SLOT") || parts[1].contains("@@SLOT"))
        return 0;

    OrderRecord record;
    OrderRecord tokens;
    for (int slot = OrderRecord::kFirstOrderSlot; slot <= OrderRecord::kLastOrderSlot; ++slot) {
        QByteArray text = slot - 1 < texts.size() ? texts[slot - 1] : QByteArray();
        text.replace('\r', ' ');
        record.setSlot(slot, text);
        tokens.setSlot(slot, text.isEmpty() || text == " " ? QByteArray() : token(slot));
    }
    const QByteArray heading = "<h2>Order</h2>";
    for (const DocumentOptions& options : {DocumentOptions(), reshowDocumentOptions()}) {
        const velmora::Result<QByteArray> document =
            generateDocument(record, templateBytes, heading, options);
        const velmora::Result<QByteArray> shape = generateDocument(tokens, templateBytes, heading, options);
        FUZZ_CHECK(document.ok() == shape.ok());
        if (!document)
            continue;
        QByteArray expected = *shape;
        for (int slot = OrderRecord::kFirstOrderSlot; slot <= OrderRecord::kLastOrderSlot; ++slot) {
            const QByteArray& text = record.slot(slot);
            if (!text.isEmpty() && text != " ")
                expected.replace(QByteArray("\r\n" + token(slot) + "\r\n"),
                                 QByteArray("\r\n" + escapeHtmlText(text) + "\r\n"));
        }
        FUZZ_CHECK(*document == expected);
    }
    return 0;
}
