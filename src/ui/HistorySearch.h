#pragma once

#include "history/SearchKey.h"

#include <QString>

class QWidget;

namespace velmora::ui {

class EditCombo;
class WindowRegistry;

// What the three selection windows (print shop, project, account) share: their list, its
// type-ahead narrowing, and the search that fills the previous-orders table.

// The loading step: the list filled from its file in file order and its first entry chosen. A
// missing or empty file gives an empty list with nothing chosen.
void loadSelectionList(WindowRegistry& registry, QWidget* window, EditCombo* list, history::SearchKey key);

// The filter step: for a non-empty text the list holds the entries of the file (read afresh)
// that begin with it, none chosen; an empty text leaves the list as it is.
void narrowSelectionList(WindowRegistry& registry, EditCombo* list, history::SearchKey key,
                         const QString& typed);

// A print-shop search that waits for its template owns sbl.htm until the template is in; every
// other search and a re-show are refused meanwhile, with a message. True when refused.
bool refuseWhileShopSearchWaits(WindowRegistry& registry, QWidget* from);

// Searches the journal for the selection and appends a row per order found to the
// previous-orders table (created, not yet shown, on the first search; its heading row and
// column widths set each time). A journal that cannot be read is reported and adds nothing.
void findPreviousOrders(WindowRegistry& registry, QWidget* from, history::SearchKey key,
                        const QString& selection);

// The project and account searches' template: sbpro.htm copied into sbl.htm; a problem is
// reported.
void copySearchTemplate(WindowRegistry& registry, QWidget* from);

} // namespace velmora::ui
