#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// What the crash tests check in a data directory.
namespace velmora::test {

// Every file below the folder (archive/ included) by its relative path, with the SHA-1 of its
// bytes.
QMap<QString, QByteArray> fileHashes(const QString& folder);

// The problems of a data directory in which no submission is under way; empty when there are
// none:
//  - no pending-order.dat and no file that the program does not write (left-over temporary files);
//  - the journal holds whole records only (its line count a multiple of 38, its last line ended);
//  - vlc.dat counts the journal's records;
//  - each count file counts the entries of its list, and each list's last line is ended;
//  - the archive holds exactly the documents of records 1 to n, and vl1.html is the last of them.
QStringList settledProblems(const QString& folder);

// The number of complete records in the journal (0 without one).
qsizetype journalRecords(const QString& folder);

} // namespace velmora::test

#include "order/OrderForm.h"
#include "order/OrderSubmitter.h"

namespace velmora::test {

// The order of number i, to shop 042 of the sample site. Which lists learn a typed entry turns
// with i % 4: none, the account and the project, two recipients, all seven. The telephone (and
// so const.dat) changes with i.
order::OrderForm crashTestOrder(int i);

// Submits crashTestOrder(i) through OrderSubmitter to the server (host:port), in this process;
// messages are appended to `messages`.
order::SubmissionOutcome submitCrashTestOrder(const QString& dataDir, const QString& server, int i,
                                              QStringList& messages);

} // namespace velmora::test
