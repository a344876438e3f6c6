#include "tools/EmailPage.h"

#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "order/HtmlText.h"
#include "order/ShopCode.h"

namespace velmora::tools {
namespace {

// The address as the target of an unquoted href: whatever would end the attribute or the tag is
// percent-encoded, and "&" is written as the entity the browser turns back into "&".
QByteArray hrefText(QByteArrayView address) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(address.size());
    for (char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`') {
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0x0F]);
        } else if (c == '&') {
            out.append("&amp;");
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

QString shopChoiceStatusLine(const QString& entry) {
    return QStringLiteral(u"מספר של  ") + entry;
}

std::optional<QByteArray> findShopEntry(QByteArrayView chosenEntry, const QByteArray& ruf27) {
    const double code = order::shopCodeNumber(chosenEntry);
    data::FieldReader reader(ruf27);
    while (!reader.atEnd()) {
        QByteArray entry = reader.next();
        if (entry.contains("***"))
            return std::nullopt;
        if (order::shopCodeNumber(entry) == code)
            return entry;
    }
    return std::nullopt;
}

QByteArray emailAddress(QByteArrayView shopEntry) {
    const qsizetype em = shopEntry.indexOf(QByteArrayView("EM:"));
    const qsizetype start = em >= 0 ? em + 3 : 2;
    if (start >= shopEntry.size())
        return {};
    return shopEntry.sliced(start).toByteArray();
}

QByteArray emailLinkLine(QByteArrayView address) {
    if (address.contains(QByteArrayView("&nb")))
        return QByteArrayLiteral("No E-Mail");
    QByteArray line("<a href=mailto:");
    line.append(hrefText(address));
    line.append('>');
    line.append(order::escapeHtmlText(address));
    line.append("</a>");
    return line;
}

QByteArray emailPageContent(QByteArrayView linkLine) {
    QByteArray page("<html>\r\n");
    page.append(linkLine);
    page.append("\r\n</html>\r\n");
    return page;
}

std::optional<QByteArray> emailPageFor(QByteArrayView chosenEntry, const QByteArray& ruf27) {
    const std::optional<QByteArray> entry = findShopEntry(chosenEntry, ruf27);
    if (!entry)
        return std::nullopt;
    return emailPageContent(emailLinkLine(emailAddress(*entry)));
}

Result<EmailPageOutcome> writeEmailPage(const data::DataDir& dir, QByteArrayView chosenEntry) {
    const QString details = dir.file(data::files::kShopDetails);
    if (!data::fileExists(details))
        return EmailPageOutcome::NoDetails;
    const Result<QByteArray> ruf27 = data::readFile(details);
    if (!ruf27)
        return Result<EmailPageOutcome>::failure(ruf27.error());
    const std::optional<QByteArray> page = emailPageFor(chosenEntry, *ruf27);
    if (!page)
        return EmailPageOutcome::NotFound;
    const Status written = data::writeFileAtomic(dir.file(data::files::kEmailPage), *page);
    if (!written)
        return Result<EmailPageOutcome>::failure(written.error());
    return EmailPageOutcome::Written;
}

QString emailPagePath(const data::DataDir& dir) {
    return dir.file(data::files::kEmailPage);
}

} // namespace velmora::tools
