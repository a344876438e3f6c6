#pragma once

#include "data/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Generic operations on the small text files of the data directory: every field of a file, the
// first field of a one-line file, appending a line, rewriting a file with given lines. Texts are
// Windows-1255 bytes; every line written ends with CR LF.
namespace velmora::data {

// Every field of the file (field reader), in order. A missing file is an error naming it.
Result<QList<QByteArray>> readFields(const QString& path);

// The first field of the file, for the one-line files (korok.txt, url00.dat ...). A missing file
// and a file with no field at all are errors naming the file.
Result<QByteArray> readFirstField(const QString& path);

// Appends the text and CR LF, creating the file if it does not exist. A file whose last line has
// no line end gets one first, so the new line never runs on into the old last line. A line break
// inside the text becomes a blank: one call writes exactly one line.
Status appendLine(const QString& path, QByteArrayView text);

// Replaces the file with the given lines, each followed by CR LF, atomically.
Status writeLines(const QString& path, const QList<QByteArray>& lines);

// The bytes of the lines, each followed by CR LF; line breaks inside a line become blanks.
QByteArray joinLines(const QList<QByteArray>& lines);

// The lines of the text, each without its line end: CR LF, a lone CR and a lone LF each end a
// line, and a last line without a line end is a line too. An empty text has no lines; commas and
// quotes are part of a line.
QList<QByteArray> splitLines(QByteArrayView text);

// True when the file exists, is not empty and its last byte is neither CR nor LF.
bool lastLineIsOpen(const QString& path);

} // namespace velmora::data
