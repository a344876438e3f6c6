#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>

// The settings file const.dat remembers the orderer's details between runs: line 1 the
// orderer's name, line 2 the telephone for queries, line 3 the name of the person the order is
// handled for, line 4 three blanks. Values are Windows-1255 bytes.
namespace velmora::data {

struct OrdererSettings {
    QByteArray orderer;
    QByteArray telephone;
    QByteArray handledFor;

    friend bool operator==(const OrdererSettings&, const OrdererSettings&) = default;
};

// The first three fields of const.dat. A missing file is an error naming it; a file with fewer
// than three fields gives empty texts for the values it lacks (they only prefill the window).
Result<OrdererSettings> readSettings(const DataDir& dir);

// Rewrites const.dat atomically with the three values and a line of three blanks, CR LF each.
Status writeSettings(const DataDir& dir, const OrdererSettings& settings);

// The bytes writeSettings() stores.
QByteArray settingsFileText(const OrdererSettings& settings);

// How one value is stored as its line, chosen so that the field reader reads it back in its own
// place:
//  - a value that reads back whole as it stands (no comma, no line break, not starting with a
//    blank or a double quote) is written unchanged, exactly as it always was;
//  - otherwise, a value without a double quote is enclosed in double quotes, which keeps its
//    commas and leading blanks («Cohen, Dan» is stored as «"Cohen, Dan"»);
//  - a value that needs quoting but holds a double quote cannot be stored exactly (the file has
//    no escape for a quote inside quotes): its double quotes become two apostrophes "''", the
//    same replacement every stored order text gets, and the result is stored by the rules above.
// A line break inside a value becomes a blank. Whatever the value, the next load finds the three
// values in their places.
QByteArray settingsValueText(QByteArrayView value);

} // namespace velmora::data
