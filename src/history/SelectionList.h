#pragma once

#include "data/DataDir.h"
#include "data/Result.h"
#include "history/SearchKey.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The list of each selection window: the fields of its list file in file order (a comma ends an
// entry, quotes around one are dropped). The print-shop list ends before the first entry that
// holds "***", where the directory's records end; the project and account lists take every field.
namespace velmora::history {

// The list file of the key: ruf25.dat, pro.dat or hes.dat.
QString selectionFile(SearchKey key);

// The entries the window shows when it is created. A missing or empty file is an empty list; a
// file that exists but cannot be read is an error naming it.
Result<QList<QByteArray>> loadSelectionList(const data::DataDir& dir, SearchKey key);

// The entries that begin with the typed text (exact, letter case significant), read afresh from
// the file. An empty text gives nothing: the window keeps the list it has. A typed character
// that Windows-1255 cannot hold begins no entry.
std::optional<QList<QByteArray>> filterSelectionList(const data::DataDir& dir, SearchKey key,
                                                     QStringView typed);

// The print-shop window removes the scratch file ruf25.htm when it opens; a missing file is fine.
Status removeShopListScratch(const data::DataDir& dir);

} // namespace velmora::history
