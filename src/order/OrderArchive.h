#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The archive of documents as sent: each submission keeps the very bytes it wrote to vl1.html as
// archive/NNNNNN.html in the data directory, named by the order's journal record number
// (data::files::sentDocument). vl1.html itself is rewritten by the next submission or re-show;
// the archived copy stays, so the order can be shown exactly as the print shop got it. A re-show
// lays the order out anew with whatever template sbl.htm holds and never writes here.
namespace velmora::order {

// Stores the document of journal record `record`, creating the archive folder when it is
// missing; the file is written beside its place and renamed over it. An error names the file.
Status storeSentDocument(const data::DataDir& dir, qsizetype record, QByteArrayView document);

// The full path of the stored document of record `record` (whether it exists or not).
QString sentDocumentPath(const data::DataDir& dir, qsizetype record);

// The record a file name of the archive folder belongs to: the name that storeSentDocument gives
// record n from 1 up («000042.html», «1234567.html»); none for any other name («42.html»,
// «000000.html», «x.html»).
std::optional<qsizetype> recordOfSentDocument(QStringView fileName);

// The journal against the archive folder.
struct ArchiveCheck {
    qsizetype records = 0;                   // complete records of the journal
    qsizetype damagedLines = 0;              // lines of a damaged last record, not counted
    QList<qsizetype> recordsWithoutDocument; // ascending
    QStringList documentsWithoutRecord;      // file names (*.html) in the archive folder, sorted
};

// Lists the records of the journal that have no stored document and the documents (the *.html
// files of the folder) whose name belongs to no record of the journal. A missing folder holds no
// documents; a missing journal holds no records. Reads the journal once and the folder once.
Result<ArchiveCheck> checkArchive(const QString& journalPath, const QString& archiveFolder);

} // namespace velmora::order
