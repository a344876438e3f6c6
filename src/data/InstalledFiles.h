#pragma once

#include <QString>

// The read-only files installed with the program: <prefix>/share/velmora beside <prefix>/bin, with
// the help pages in help/ and the other texts of a fresh data directory in seed/. The folder is
// found from the program's own folder by the path the installation uses between the two, never
// from the current directory. A program run from its build tree has no such folder and uses the
// copies built into it.
namespace velmora::data {

// The installed-files folder of the running program (absolute, cleaned), or empty when there is
// none or no application object exists yet.
QString installedFilesDir();

// The installed-files folder for a program in `programDir`, or empty when it does not exist.
QString installedFilesDirFor(const QString& programDir);

// The path of an installed file (`relativePath` inside the installed-files folder) when that file
// exists, otherwise empty.
QString installedFile(const QString& relativePath);

} // namespace velmora::data
