#pragma once

#include "data/DataDir.h"
#include "data/Journal.h"
#include "data/JournalRecord.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>

namespace velmora::testing {

// A journal record from slot numbers and their texts; the other slots stay empty.
inline data::JournalRecord journalRecord(std::initializer_list<std::pair<int, QByteArray>> slotTexts) {
    data::JournalRecord record;
    for (const auto& [slot, text] : slotTexts)
        record.slot(slot) = text;
    return record;
}

// An order as the searches see it: slots 1 to 5 and a recipient.
inline data::JournalRecord order(const QByteArray& number, const QByteArray& date, const QByteArray& account,
                                 const QByteArray& project, const QByteArray& shop) {
    return journalRecord({{1, number}, {2, date}, {3, account}, {4, project}, {5, shop}, {6, "Office"}});
}

// A data directory of its own.
class HistoryDir {
public:
    data::DataDir dir() const { return data::DataDir(m_tmp.path()); }
    QString path(const QString& name) const { return m_tmp.filePath(name); }

    void put(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    std::optional<QByteArray> content(const QString& name) const {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    void journal(std::initializer_list<data::JournalRecord> records, const QByteArray& tail = {}) {
        QByteArray bytes;
        for (const data::JournalRecord& record : records)
            bytes += data::encodeJournalRecord(record);
        put("vlt.dat", bytes + tail);
    }

private:
    QTemporaryDir m_tmp;
};

} // namespace velmora::testing
