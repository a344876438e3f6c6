#include "data/TextFiles.h"

#include "data/FieldReader.h"
#include "data/FileIo.h"

#include <QFile>
#include <QFileInfo>

namespace velmora::data {
namespace {

void appendOneLine(QByteArray& out, QByteArrayView text) {
    const qsizetype start = out.size();
    out.append(text.data(), text.size());
    for (qsizetype i = start; i < out.size(); ++i) {
        if (out[i] == '\r' || out[i] == '\n')
            out[i] = ' ';
    }
    out.append("\r\n");
}

} // namespace

Result<QList<QByteArray>> readFields(const QString& path) {
    Result<QByteArray> bytes = readFile(path);
    if (!bytes)
        return Result<QList<QByteArray>>::failure(bytes.error());
    return readAllFields(bytes.value());
}

Result<QByteArray> readFirstField(const QString& path) {
    Result<QByteArray> bytes = readFile(path);
    if (!bytes)
        return Result<QByteArray>::failure(bytes.error());
    FieldReader reader(std::move(bytes).value());
    if (reader.atEnd())
        return Result<QByteArray>::failure(QStringLiteral(u"הקובץ %1 ריק.").arg(QFileInfo(path).fileName()));
    return reader.next();
}

bool lastLineIsOpen(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    if (!file.seek(file.size() - 1))
        return false;
    char last = 0;
    if (!file.getChar(&last))
        return false;
    return last != '\r' && last != '\n';
}

Status appendLine(const QString& path, QByteArrayView text) {
    QByteArray bytes;
    if (lastLineIsOpen(path))
        bytes.append("\r\n");
    appendOneLine(bytes, text);
    return appendDurable(path, bytes);
}

QByteArray joinLines(const QList<QByteArray>& lines) {
    QByteArray out;
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    out.reserve(size);
    for (const QByteArray& line : lines)
        appendOneLine(out, line);
    return out;
}

QList<QByteArray> splitLines(QByteArrayView text) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(text.sliced(start, i - start).toByteArray());
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.sliced(start).toByteArray());
    return lines;
}

Status writeLines(const QString& path, const QList<QByteArray>& lines) {
    return writeFileAtomic(path, joinLines(lines));
}

} // namespace velmora::data
