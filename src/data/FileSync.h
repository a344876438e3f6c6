#pragma once

#include "data/Result.h"

#include <QFile>

// The program's one call into the operating system for its files: what the C++ and Qt libraries
// offer on every platform does not include putting written data on the disk.
namespace velmora::data {

// Puts everything written to the open file on the disk before returning (fsync; _commit, that is
// FlushFileBuffers, on Windows). Write unbuffered, or flush the file first. A failure carries the
// system's reason.
Status syncFile(QFile& file);

} // namespace velmora::data
