#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The list files hes.dat (accounts), pro.dat (projects) and lis.dat (addresses) hold one entry
// per line; the print-shop list ruf25.dat is read the same way. An entry is one field.
namespace velmora::data {

enum class ListEnd {
    EndOfFile,   // every entry of the file
    BeforeStars, // stop before the first entry that contains "***"
};

// The entries of the list file `name` in the data directory, in file order. A missing file is an
// error naming it; the caller decides whether that means an empty list.
Result<QList<QByteArray>> readList(const DataDir& dir, const QString& name, ListEnd end = ListEnd::EndOfFile);

// The entries of the text, as readList() takes them from a file.
QList<QByteArray> listEntries(const QByteArray& text, ListEnd end = ListEnd::EndOfFile);

// Appends the entry as a line (CR LF), creating the file if needed; see appendLine().
Status appendListEntry(const DataDir& dir, const QString& name, QByteArrayView entry);

} // namespace velmora::data
