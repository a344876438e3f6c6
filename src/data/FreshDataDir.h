#pragma once

#include "data/DataDir.h"
#include "data/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a fresh installation puts into the data directory: the settings file with a sample
// orderer, account, project and address lists with a few entries and their count files, the
// order counter at 0, the heading fragment korok.txt, the local order template sbpro.htm and the
// help pages help1.htm to help5.htm. The journal vlt.dat is not created; the first order does.
namespace velmora::data {

// Creates the data directory if it is missing and every file of a fresh installation that it
// lacks. A file that exists is never touched, whatever it holds. A count file that is missing
// gets the number of entries its list holds, and a missing vlc.dat the number of records of an
// existing journal (0 without one), so the counts agree with the files beside them. Meant for a
// directory that is missing or empty; on a directory in use it only adds missing files (help
// pages of a newer version, for example). Returns the names of the files it created.
Result<QStringList> seedDataDirectory(const DataDir& dir);

// The names of the files taken from the seed texts, in the order they are created.
QStringList seedFileNames();

// The Windows-1255 bytes, CR LF line ends, of the seed text `name` as seedDataDirectory() writes
// it; empty for a name that is not a seed text. The texts are UTF-8 files: those installed with
// the program (InstalledFiles.h) or, without them, the copies built into the program.
QByteArray seedFileBytes(const QString& name);

} // namespace velmora::data
