#include "tools/ListNarrowing.h"

#include "data/FieldReader.h"
#include "data/FileIo.h"

namespace velmora::tools {

std::optional<QList<QByteArray>> narrowEntries(QByteArrayView typed, const QByteArray& listFile,
                                               bool stopsAtAsterisks) {
    if (typed.isEmpty())
        return std::nullopt;
    QList<QByteArray> matches;
    data::FieldReader reader(listFile);
    while (!reader.atEnd()) {
        QByteArray entry = reader.next();
        if (stopsAtAsterisks && entry.contains("***"))
            break;
        if (entry.startsWith(typed))
            matches.append(std::move(entry));
    }
    return matches;
}

std::optional<QList<QByteArray>> narrowEntriesInFile(const data::DataDir& dir, const QString& fileName,
                                                     QByteArrayView typed, bool stopsAtAsterisks) {
    if (typed.isEmpty())
        return std::nullopt;
    const Result<QByteArray> bytes = data::readFile(dir.file(fileName));
    return narrowEntries(typed, bytes ? *bytes : QByteArray(), stopsAtAsterisks);
}

} // namespace velmora::tools
