#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace velmora::order {

// Text placed into an HTML page as text: "&", "<" and ">" become "&amp;", "&lt;" and "&gt;", so
// that an order value can never turn into markup. Text without these characters is unchanged.
QByteArray escapeHtmlText(QByteArrayView text);

} // namespace velmora::order
