// What the program takes from the web service's replies: the print-shop directory, the order
// number and the start step's addresses.
//  - The directory split gives one line per record in each file: ruf25.dat lines end with "kod"
//    and three characters (or fewer at the end of a record), ruf27.dat lines begin with "kod".
//  - An order number reply always reads as a number; an address, when there is one, is not empty.

#include "FuzzCheck.h"

#include "data/FieldReader.h"
#include "order/ServerExchange.h"
#include "startup/DirectoryDownload.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes = velmora::fuzz::input(data, size);
    const QByteArray page = bytes.toByteArray();

    const velmora::startup::DirectoryFiles files = velmora::startup::splitDirectory(page);
    FUZZ_CHECK(files.records >= 0);
    FUZZ_CHECK(files.ruf25.count("\r\n") == files.records);
    FUZZ_CHECK(files.ruf27.count("\r\n") == files.records);
    for (const QByteArray& line : files.ruf25.split('\n')) {
        if (line.isEmpty())
            continue;
        FUZZ_CHECK(line.endsWith('\r'));
        FUZZ_CHECK(line.contains("kod"));
    }
    for (const QByteArray& line : files.ruf27.split('\n')) {
        if (!line.isEmpty())
            FUZZ_CHECK(line.startsWith("kod"));
    }

    const double number = velmora::order::parseOrderNumber(bytes);
    FUZZ_CHECK(!std::isnan(number));

    const std::optional<QByteArray> address = velmora::startup::addressFromReply(bytes);
    if (address) {
        FUZZ_CHECK(!address->isEmpty());
        FUZZ_CHECK(bytes.contains(*address));
    }
    return 0;
}
