// The list files and the settings file.
//  - A list's entries are the file's fields; the print-shop list stops before the first entry
//    holding "***".
//  - Three settings values, whatever they hold, are read back in their places (line breaks as
//    blanks; a value that needs quotes and holds a double quote gets two apostrophes for it).

#include "FuzzCheck.h"

#include "data/FieldReader.h"
#include "data/ListFile.h"
#include "data/SettingsFile.h"

namespace {

bool needsQuotes(const QByteArray& value) {
    return value.contains(',') || value.startsWith(' ') || value.startsWith('"');
}

QByteArray expectedValue(QByteArray value) {
    value.replace('\r', ' ').replace('\n', ' ');
    if (needsQuotes(value) && value.contains('"'))
        value.replace("\"", "''");
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora::data;
    const QByteArrayView bytes = velmora::fuzz::input(data, size);
    const QByteArray text = bytes.toByteArray();

    const QList<QByteArray> all = listEntries(text, ListEnd::EndOfFile);
    FUZZ_CHECK(all == readAllFields(text));
    const QList<QByteArray> shops = listEntries(text, ListEnd::BeforeStars);
    FUZZ_CHECK(shops.size() <= all.size());
    for (qsizetype i = 0; i < shops.size(); ++i) {
        FUZZ_CHECK(shops[i] == all[i]);
        FUZZ_CHECK(!shops[i].contains("***"));
    }
    if (shops.size() < all.size())
        FUZZ_CHECK(all[shops.size()].contains("***"));

    const QList<QByteArray> values = velmora::fuzz::parts(bytes, 3);
    const OrdererSettings settings{values[0], values[1], values[2]};
    const QList<QByteArray> stored = readAllFields(settingsFileText(settings));
    FUZZ_CHECK(stored.size() >= 3);
    for (int i = 0; i < 3; ++i)
        FUZZ_CHECK(stored[i] == expectedValue(values[i]));
    return 0;
}
