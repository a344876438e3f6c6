#pragma once

#include <QLatin1StringView>

namespace velmora::history {

// What the previous orders are searched by: each has its selection window and its list file.
enum class SearchKey {
    PrintShop, // window hipus, ruf25.dat (ends at the entry holding "***")
    Project,   // window hipus1, pro.dat
    Account,   // window hipus2, hes.dat
};

} // namespace velmora::history
