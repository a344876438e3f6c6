#include "data/ListFile.h"

#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/TextFiles.h"

namespace velmora::data {

QList<QByteArray> listEntries(const QByteArray& text, ListEnd end) {
    QList<QByteArray> entries;
    FieldReader reader(text);
    while (!reader.atEnd()) {
        QByteArray entry = reader.next();
        if (end == ListEnd::BeforeStars && entry.contains("***"))
            break;
        entries.append(std::move(entry));
    }
    return entries;
}

Result<QList<QByteArray>> readList(const DataDir& dir, const QString& name, ListEnd end) {
    Result<QByteArray> bytes = readFile(dir.file(name));
    if (!bytes)
        return Result<QList<QByteArray>>::failure(bytes.error());
    return listEntries(bytes.value(), end);
}

Status appendListEntry(const DataDir& dir, const QString& name, QByteArrayView entry) {
    return appendLine(dir.file(name), entry);
}

} // namespace velmora::data
