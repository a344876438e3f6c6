#pragma once

#include "data/DataDir.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// Typing into a completion box narrows its list to the entries of the list's file that begin
// with the typed text.
namespace velmora::tools {

// The eight completion boxes of the main window and what each narrows. Only the print-shop list
// stops at the first entry holding "***", where the directory's records end.
struct CompletionList {
    const char* box;
    const char* list;
    const char* file;
    bool stopsAtAsterisks;
};
inline constexpr std::array<CompletionList, 8> kCompletionLists{{
    {"Text29", "Combo1", "hes.dat", false},
    {"Text30", "Combo2", "pro.dat", false},
    {"Text31", "Combo3", "ruf25.dat", true},
    {"Text32", "Combo4", "lis.dat", false},
    {"Text33", "Combo5", "lis.dat", false},
    {"Text34", "Combo6", "lis.dat", false},
    {"Text35", "Combo7", "lis.dat", false},
    {"Text36", "Combo8", "lis.dat", false},
}};

// The entries (fields) of the list file that begin with the typed text, exactly and with letter
// case significant, in file order and with duplicates. An empty typed text gives no result: the
// list keeps whatever it holds. With stopsAtAsterisks, reading ends at the first entry holding
// "***" (that entry is not offered).
std::optional<QList<QByteArray>> narrowEntries(QByteArrayView typed, const QByteArray& listFile,
                                               bool stopsAtAsterisks);

// The same over the list file in the data directory; a missing file offers no entries.
std::optional<QList<QByteArray>> narrowEntriesInFile(const data::DataDir& dir, const QString& fileName,
                                                     QByteArrayView typed, bool stopsAtAsterisks);

} // namespace velmora::tools
