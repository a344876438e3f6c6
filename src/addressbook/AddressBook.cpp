#include "addressbook/AddressBook.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/TextFiles.h"

namespace velmora::addressbook {

Result<QList<QByteArray>> readAddressLines(const data::DataDir& dir) {
    const QString path = dir.file(data::files::kAddresses);
    if (!data::fileExists(path))
        return QList<QByteArray>();
    const Result<QByteArray> bytes = data::readFile(path);
    if (!bytes)
        return Result<QList<QByteArray>>::failure(bytes.error());
    return data::splitLines(*bytes);
}

QList<AddressRow> addressRows(const QList<QByteArray>& lines, QStringView filter) {
    const QByteArray bytes = data::toCp1255(filter);
    // A character the file cannot hold comes back as "?", which must not match a real "?".
    if (data::fromCp1255(bytes) != filter)
        return {};
    QList<AddressRow> rows;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(bytes))
            rows.append({i + 1, lines[i]});
    }
    return rows;
}

std::optional<qsizetype> chosenEntry(const QList<QByteArray>& lines, qsizetype number,
                                     QByteArrayView address) {
    // Number 0 is the heading row's: no address at all.
    if (number < 1)
        return std::nullopt;
    if (number <= lines.size() && lines[number - 1] == address)
        return number - 1;
    const qsizetype index = lines.indexOf(address);
    if (index < 0)
        return std::nullopt;
    return index;
}

Result<Deletion> deleteAddress(const data::DataDir& dir, qsizetype number, QByteArrayView address) {
    Result<QList<QByteArray>> read = readAddressLines(dir);
    if (!read)
        return Result<Deletion>::failure(read.error());
    QList<QByteArray> lines = std::move(read).value();
    const std::optional<qsizetype> index = chosenEntry(lines, number, address);
    if (!index)
        return Deletion::NotFound;
    lines.removeAt(*index);

    // The working copy first, then the list itself. Both are replaced whole, so a crash or a full
    // disk in the middle leaves lis.dat as it was, never truncated.
    const QByteArray bytes = data::joinLines(lines);
    if (const Status written = data::writeFileAtomic(dir.file(data::files::kAddressScratch), bytes); !written)
        return Result<Deletion>::failure(written.error());
    if (const Status written = data::writeFileAtomic(dir.file(data::files::kAddresses), bytes); !written)
        return Result<Deletion>::failure(written.error());
    return Deletion::Deleted;
}

} // namespace velmora::addressbook
