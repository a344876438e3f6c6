#include "order/HtmlText.h"

namespace velmora::order {

QByteArray escapeHtmlText(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        default:
            out.append(c);
        }
    }
    return out;
}

} // namespace velmora::order
