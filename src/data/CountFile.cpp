#include "data/CountFile.h"

#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/Numbers.h"

namespace velmora::data {

Result<double> readCount(const DataDir& dir, const QString& name) {
    Result<QByteArray> bytes = readFile(dir.file(name));
    if (!bytes)
        return Result<double>::failure(bytes.error());
    return leadingNumber(firstField(bytes.value()));
}

Status writeCount(const DataDir& dir, const QString& name, double value) {
    return writeFileAtomic(dir.file(name), numberLine(value));
}

Result<double> incrementCount(const DataDir& dir, const QString& name) {
    Result<double> count = readCount(dir, name);
    if (!count)
        return count;
    const double next = count.value() + 1;
    if (Status written = writeCount(dir, name, next); !written)
        return Result<double>::failure(written.error());
    return next;
}

} // namespace velmora::data
