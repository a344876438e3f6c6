#pragma once

#include "data/Journal.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <cstdio>

// Turns the order journal into UTF-8 CSV or JSON for other programs. Every complete record
// becomes one row (RFC 4180 quoting) or one object {"record": n, "slots": [38 strings]}; a
// damaged last record is left out and reported by the result.
namespace velmora::app {

enum class ExportFormat { Csv, Json };

// "record" and one short name per slot: order_number, date, account, project, print_shop,
// recipient_1..5, orderer, telephone, file_1, quantity_1, ..., file_5, quantity_5, colour_1..5,
// bw_1..5, copy_type_1..5, handled_for.
QStringList exportColumnNames();

// Writes the journal to `out` as it reads it, in pieces of about a megabyte. Fails when the
// journal cannot be read or `out` cannot be written; otherwise returns what the scan found.
velmora::Result<velmora::data::JournalScan> exportJournal(const velmora::data::Journal& journal,
                                                          ExportFormat format, std::FILE* out);

} // namespace velmora::app
