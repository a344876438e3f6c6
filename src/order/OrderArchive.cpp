#include "order/OrderArchive.h"

#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/Journal.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace velmora::order {

QString sentDocumentPath(const data::DataDir& dir, qsizetype record) {
    return dir.file(data::files::sentDocument(record));
}

Status storeSentDocument(const data::DataDir& dir, qsizetype record, QByteArrayView document) {
    const QString path = sentDocumentPath(dir, record);
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return Status::failure(
            QStringLiteral(u"לא ניתן ליצור את התיקייה %1.").arg(QDir::toNativeSeparators(folder)));
    return data::writeFileAtomic(path, document);
}

std::optional<qsizetype> recordOfSentDocument(QStringView fileName) {
    static constexpr QStringView kSuffix = u".html";
    if (!fileName.endsWith(kSuffix))
        return std::nullopt;
    const QStringView digits = fileName.chopped(kSuffix.size());
    if (digits.isEmpty() || digits.size() > 15 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const qsizetype record = digits.toLongLong();
    // Only the name the archive gives: six digits at least, no further leading zeros.
    if (record < 1 || QFileInfo(data::files::sentDocument(record)).fileName() != fileName)
        return std::nullopt;
    return record;
}

Result<ArchiveCheck> checkArchive(const QString& journalPath, const QString& archiveFolder) {
    const Result<data::JournalScan> shape = data::Journal(journalPath).shape();
    if (!shape)
        return Result<ArchiveCheck>::failure(shape.error());

    ArchiveCheck check;
    check.records = shape->records;
    check.damagedLines = shape->damagedLines;

    QSet<qsizetype> stored;
    const QStringList names =
        QDir(archiveFolder).entryList({QStringLiteral("*.html")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const std::optional<qsizetype> record = recordOfSentDocument(name);
        if (record && *record <= check.records)
            stored.insert(*record);
        else
            check.documentsWithoutRecord.append(name);
    }
    for (qsizetype record = 1; record <= check.records; ++record) {
        if (!stored.contains(record))
            check.recordsWithoutDocument.append(record);
    }
    return check;
}

} // namespace velmora::order
