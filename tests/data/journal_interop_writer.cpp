// Test helper: appends orders to a journal through the program's own journal writer.
//   journal_interop_writer INPUT OUTPUT
// INPUT is UTF-8 text, one slot per line (LF), 38 lines per order; OUTPUT is the journal.

#include "data/Cp1255.h"
#include "data/Journal.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: journal_interop_writer INPUT OUTPUT\n", stderr);
        return 2;
    }
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fputs("cannot read input\n", stderr);
        return 1;
    }
    QList<QByteArray> lines = input.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() % velmora::data::JournalRecord::kSlots != 0) {
        std::fputs("input is not a whole number of orders\n", stderr);
        return 1;
    }
    const velmora::data::Journal journal(QString::fromLocal8Bit(argv[2]));
    for (qsizetype first = 0; first < lines.size(); first += velmora::data::JournalRecord::kSlots) {
        velmora::data::JournalRecord record;
        for (int k = 0; k < velmora::data::JournalRecord::kSlots; ++k)
            record.texts[static_cast<std::size_t>(k)] =
                velmora::data::toCp1255(QString::fromUtf8(lines[first + k]));
        const auto appended = journal.append(record);
        if (!appended) {
            std::fputs(appended.error().toUtf8().constData(), stderr);
            return 1;
        }
    }
    return 0;
}
