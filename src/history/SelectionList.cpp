#include "history/SelectionList.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/ListFile.h"
#include "tools/ListNarrowing.h"

namespace velmora::history {
namespace {

bool stopsAtStars(SearchKey key) {
    return key == SearchKey::PrintShop;
}

} // namespace

QString selectionFile(SearchKey key) {
    switch (key) {
    case SearchKey::PrintShop:
        return data::files::kShops;
    case SearchKey::Project:
        return data::files::kProjects;
    case SearchKey::Account:
        return data::files::kAccounts;
    }
    return {};
}

Result<QList<QByteArray>> loadSelectionList(const data::DataDir& dir, SearchKey key) {
    if (!data::fileExists(dir.file(selectionFile(key))))
        return QList<QByteArray>();
    return data::readList(dir, selectionFile(key),
                          stopsAtStars(key) ? data::ListEnd::BeforeStars : data::ListEnd::EndOfFile);
}

std::optional<QList<QByteArray>> filterSelectionList(const data::DataDir& dir, SearchKey key,
                                                     QStringView typed) {
    if (typed.isEmpty())
        return std::nullopt;
    const QByteArray prefix = data::toCp1255(typed);
    // A character the files cannot hold would come back as "?" and match a real "?".
    if (data::fromCp1255(prefix) != typed)
        return QList<QByteArray>();
    return tools::narrowEntriesInFile(dir, selectionFile(key), prefix, stopsAtStars(key));
}

Status removeShopListScratch(const data::DataDir& dir) {
    return data::removeFile(dir.file(data::files::kShopDialogScratch));
}

} // namespace velmora::history
