#include "ui/HistorySearch.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "history/JournalSearch.h"
#include "history/SearchTemplate.h"
#include "history/SelectionList.h"
#include "ui/WindowRegistry.h"
#include "ui/components/Dialogs.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/hipus.h"
#include "ui/windows/tavla.h"

namespace velmora::ui {

void loadSelectionList(WindowRegistry& registry, QWidget* window, EditCombo* list, history::SearchKey key) {
    const Result<QList<QByteArray>> entries = history::loadSelectionList(registry.dataDir(), key);
    if (!entries) {
        Dialogs::message(window, entries.error());
        return;
    }
    list->Clear();
    for (const QByteArray& entry : *entries)
        list->AddItem(data::fromCp1255(entry));
    if (list->ListCount() > 0)
        list->setListIndex(0);
}

void narrowSelectionList(WindowRegistry& registry, EditCombo* list, history::SearchKey key,
                         const QString& typed) {
    const std::optional<QList<QByteArray>> entries =
        history::filterSelectionList(registry.dataDir(), key, typed);
    if (!entries)
        return;
    list->Clear();
    for (const QByteArray& entry : *entries)
        list->AddItem(data::fromCp1255(entry));
}

bool refuseWhileShopSearchWaits(WindowRegistry& registry, QWidget* from) {
    const hipus* shops = registry.find<hipus>();
    if (!shops || !shops->isWaitingForTemplate())
        return false;
    Dialogs::message(from, QStringLiteral(u"החיפוש לפי מכון העתקות עדיין ממתין לתבנית ההזמנה מהשרת. "
                                          u"אפשר לנסות שוב כשיסתיים."));
    return true;
}

void findPreviousOrders(WindowRegistry& registry, QWidget* from, history::SearchKey key,
                        const QString& selection) {
    tavla& table = registry.ensure<tavla>();
    table.prepareTable();
    tavla::OrderRows rows;
    const Result<history::SearchResult> found =
        history::searchJournal(registry.dataDir().file(data::files::kJournal), key, data::toCp1255(selection),
                               [&rows](const history::FoundOrderView& order) { rows.add(order); });
    if (!found) {
        Dialogs::message(from, found.error());
        return;
    }
    table.appendOrders(rows);
}

void copySearchTemplate(WindowRegistry& registry, QWidget* from) {
    if (const Status copied = history::copyLocalTemplate(registry.dataDir()); !copied)
        Dialogs::message(from, QStringLiteral(u"תבנית ההזמנה המקומית לא הועתקה; אי אפשר יהיה להציג "
                                              u"את ההזמנות שנמצאו:\n") +
                                   copied.error());
}

} // namespace velmora::ui
