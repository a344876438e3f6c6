#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QString>

// The count files hescol.dat, procol.dat, liscol.dat and the order counter vlc.dat each hold one
// number line (« 137 » and CR LF).
namespace velmora::data {

// The leading number of the file's first field; an empty file reads as 0. A missing file is an
// error naming it: the counter is never silently restarted.
Result<double> readCount(const DataDir& dir, const QString& name);

// Reads the count, adds 1 and rewrites the file atomically as a number line; returns the new
// value (« 2.5 » becomes « 3.5 »). A missing file is an error naming it and nothing is written.
Result<double> incrementCount(const DataDir& dir, const QString& name);

// Rewrites the file atomically with the value as a number line.
Status writeCount(const DataDir& dir, const QString& name, double value);

} // namespace velmora::data
