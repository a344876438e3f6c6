// The print-shop e-mail page for any chosen entry and shop details.
//  - A shop's address never adds markup: the page has exactly the tags of a page for a plain
//    address, and its link target holds no blank, quote or angle bracket.

#include "FuzzCheck.h"

#include "tools/EmailPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora::tools;
    const QList<QByteArray> parts = velmora::fuzz::parts(velmora::fuzz::input(data, size), 2);
    const QByteArray& entry = parts[0];
    const QByteArray& ruf27 = parts[1];

    const std::optional<QByteArray> page = emailPageFor(entry, ruf27);
    if (!page)
        return 0;
    const std::optional<QByteArray> shop = findShopEntry(entry, ruf27);
    FUZZ_CHECK(shop.has_value());
    const QByteArray address = emailAddress(*shop);
    const QByteArray line = emailLinkLine(address);
    FUZZ_CHECK(*page == emailPageContent(line));
    const QByteArray plain = emailPageContent(emailLinkLine(address.contains("&nb") ? "&nb" : "a@b.example"));
    FUZZ_CHECK(page->count('<') == plain.count('<'));
    FUZZ_CHECK(page->count('>') == plain.count('>'));
    if (line.startsWith("<a href=mailto:")) {
        const QByteArray target = line.mid(15, line.indexOf('>') - 15);
        for (char c : {' ', '"', '\'', '<', '`', '\t', '\r', '\n'})
            FUZZ_CHECK(!target.contains(c));
    }
    return 0;
}
