// The field reader and number reading, as every data file and server reply is read.
//  - The reader never reads past the text, always moves forward, and ends.
//  - firstField() is the first field the reader gives; readAllFields() the fields it gives.
//  - A number written as number text reads back as the same number text.

#include "FuzzCheck.h"

#include "data/FieldReader.h"
#include "data/Numbers.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = velmora::fuzz::input(data, size).toByteArray();

    velmora::data::FieldReader reader(text);
    QList<QByteArray> fields;
    qsizetype before = reader.position();
    while (!reader.atEnd()) {
        fields.append(reader.next());
        FUZZ_CHECK(reader.position() > before);
        FUZZ_CHECK(reader.position() <= text.size() + 1);
        before = reader.position();
    }
    FUZZ_CHECK(reader.next().isEmpty()); // reading at the end gives an empty field
    FUZZ_CHECK(velmora::data::readAllFields(text) == fields);
    if (!fields.isEmpty())
        FUZZ_CHECK(velmora::data::firstField(text) == fields.first());
    for (const QByteArray& field : fields)
        FUZZ_CHECK(field.size() <= text.size());

    const double value = velmora::data::leadingNumber(text);
    if (std::isfinite(value) && std::fabs(value) < 1e15) {
        const QByteArray written = velmora::data::numberText(value);
        FUZZ_CHECK(velmora::data::numberText(velmora::data::leadingNumber(written)) == written);
        FUZZ_CHECK(written.startsWith(value < 0 ? '-' : ' '));
    }
    return 0;
}
