#pragma once

#include "data/Journal.h"
#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <cstdio>

// Turns the order journal into UTF-8 CSV or JSON for other programs. Every complete record
// becomes one row or object; a damaged last record is left out and reported by the result.
namespace velmora::app {

enum class ExportFormat { Csv, Json };

// "record" and one short name per slot: order_number, date, account, project, print_shop,
// recipient_1..5, orderer, telephone, file_1, quantity_1, ..., file_5, quantity_5, colour_1..5,
// bw_1..5, copy_type_1..5, handled_for.
QStringList exportColumnNames();

// RFC 4180: the field as it stands, or in double quotes with its quotes doubled when it holds a
// comma, a double quote, CR or LF.
void appendCsvField(QByteArray& out, QByteArrayView utf8);

// A JSON string literal of the UTF-8 text.
void appendJsonString(QByteArray& out, QByteArrayView utf8);

// Writes the journal to `out` as it reads it, in pieces of about a megabyte. Fails when the
// journal cannot be read or `out` cannot be written; otherwise returns what the scan found.
velmora::Result<velmora::data::JournalScan> exportJournal(const velmora::data::Journal& journal,
                                                          ExportFormat format, std::FILE* out);

} // namespace velmora::app
