#include "history/JournalSearch.h"

#include "data/CharCodes.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"
#include "data/JournalLines.h"
#include "data/Numbers.h"
#include "order/ShopCode.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::history {
namespace {

constexpr int kSlotsPerRecord = 38;
constexpr int kSearchedSlots = 5;

// "A contains B", with an empty B in every non-empty A and in no empty A.
bool contains(QByteArrayView a, QByteArrayView b) {
    if (a.isEmpty())
        return false;
    if (b.isEmpty())
        return true;
    // memmem: no set-up per call, which a search that tries every record needs.
    return ::memmem(a.data(), static_cast<std::size_t>(a.size()), b.data(),
                    static_cast<std::size_t>(b.size())) != nullptr;
}

// The decoded length of an encoded slot: one character per group of three columns.
qsizetype decodedLength(QByteArrayView encoded) {
    return (encoded.size() + 2) / 3;
}

// What one search compares against, worked out once.
class Query {
public:
    Query(SearchKey key, QByteArrayView selection)
        : m_key(key)
        , m_selection(selection.toByteArray())
        , m_selectionCode(order::shopCodeNumber(selection)) {}

    // The length filters, on the encoded slots (no decoding needed).
    bool passesFilters(const std::array<QByteArrayView, kSearchedSlots>& encoded) const {
        if (m_key == SearchKey::Account)
            return true;
        return decodedLength(encoded[0]) >= 1 && decodedLength(encoded[1]) >= 2 &&
               decodedLength(encoded[2]) >= 3 && decodedLength(encoded[3]) >= 3 &&
               decodedLength(encoded[4]) >= 3;
    }

    // False when the key slot cannot match, told from its encoded length alone: a slot that the
    // selection contains is no longer than the selection. (The shop codes need the slot decoded.)
    bool mayMatch(QByteArrayView encodedKeySlot) const {
        return m_key == SearchKey::PrintShop || decodedLength(encodedKeySlot) <= m_selection.size();
    }

    // The match rule on the one slot it looks at, decoded.
    bool matchesKeySlot(QByteArrayView slot) const {
        switch (m_key) {
        case SearchKey::PrintShop:
            return order::shopCodeNumber(slot) == m_selectionCode || contains(m_selection, slot);
        case SearchKey::Project:
        case SearchKey::Account:
            return contains(m_selection, slot);
        }
        return false;
    }

    // The slot (0-based among slots 1 to 5) the match rule looks at.
    int keySlot() const {
        switch (m_key) {
        case SearchKey::PrintShop:
            return 4;
        case SearchKey::Project:
            return 3;
        case SearchKey::Account:
            return 2;
        }
        return 0;
    }

private:
    SearchKey m_key;
    QByteArray m_selection;
    double m_selectionCode;
};

// True when the encoded slot decodes to a text beginning with "***": its first group is
// looked at before any decoding, as nearly every order number begins otherwise.
bool beginsWithStars(QByteArrayView encoded, QByteArray& decoded) {
    // A group that reads 42 ("*") begins with a 4 unless it begins with a blank or a tab.
    if (encoded.isEmpty() || (encoded.front() >= '0' && encoded.front() <= '9' && encoded.front() != '4'))
        return false;
    if (data::leadingNumber(encoded.first(std::min<qsizetype>(encoded.size(), 3))) != '*')
        return false;
    data::decodeCharCodesInto(encoded.first(std::min<qsizetype>(encoded.size(), 9)), decoded);
    return decoded.startsWith("***");
}

// Dates, accounts, projects and print shops repeat from order to order. Each distinct encoded
// text is decoded once and numbered; the orders found share the decoded bytes and carry the
// numbers. An open-addressing table over a quick hash of the encoded bytes: a search that finds a
// hundred thousand orders looks up four hundred thousand texts.
class DecodedTexts {
public:
    DecodedTexts()
        : m_slots(1024, -1) {}

    // The decoded text and its number.
    const QByteArray& decoded(QByteArrayView encoded, int& id) {
        const std::uint64_t hash = hashOf(encoded);
        const std::string_view key(encoded.data(), static_cast<std::size_t>(encoded.size()));
        std::size_t at = hash & (m_slots.size() - 1);
        for (; m_slots[at] >= 0; at = (at + 1) & (m_slots.size() - 1)) {
            const Entry& entry = m_entries[static_cast<std::size_t>(m_slots[at])];
            if (entry.hash == hash && entry.encoded == key) {
                id = m_slots[at];
                return entry.decoded;
            }
        }
        id = static_cast<int>(m_entries.size());
        m_entries.push_back({hash, std::string(key), data::decodeCharCodes(encoded)});
        m_slots[at] = id;
        if (m_entries.size() * 2 > m_slots.size())
            grow();
        return m_entries.back().decoded;
    }

private:
    struct Entry {
        std::uint64_t hash;
        std::string encoded;
        QByteArray decoded;
    };

    // Eight bytes at a time, each mixed in with a multiply and a shift.
    static std::uint64_t hashOf(QByteArrayView bytes) {
        const char* p = bytes.data();
        std::size_t n = static_cast<std::size_t>(bytes.size());
        std::uint64_t hash = 0x9E3779B97F4A7C15u ^ n;
        for (; n >= 8; n -= 8, p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            hash = (hash ^ word) * 0xBF58476D1CE4E5B9u;
            hash ^= hash >> 31;
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, p, n);
        hash = (hash ^ tail) * 0x94D049BB133111EBu;
        return hash ^ (hash >> 29);
    }

    void grow() {
        std::vector<int> places(m_slots.size() * 2, -1);
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            std::size_t at = m_entries[i].hash & (places.size() - 1);
            while (places[at] >= 0)
                at = (at + 1) & (places.size() - 1);
            places[at] = static_cast<int>(i);
        }
        m_slots = std::move(places);
    }

    std::vector<int> m_slots;    // indexes into m_entries, -1 for a free place; a power of two long
    std::deque<Entry> m_entries; // a deque: the decoded texts stay where they are as it grows
};

// The scan over any source of lines with next(line) and skip(n). Only the slot the match rule
// needs is decoded for every record; the others only for the records found.
template <typename Lines>
void scanForOrders(Lines& lines, const Query& query, SearchResult& result, const FoundOrderVisitor& visit) {
    // The first five lines of the record, one after the other; the reader's views last only
    // until its next call.
    std::string raw;
    std::array<qsizetype, kSearchedSlots + 1> start{};
    std::array<QByteArrayView, kSearchedSlots> encoded;
    QByteArray number;
    QByteArray keySlot;
    QByteArrayView line;
    DecodedTexts texts;
    for (;;) {
        raw.clear();
        int got = 0;
        for (; got < kSearchedSlots && lines.next(line); ++got) {
            start[static_cast<std::size_t>(got)] = static_cast<qsizetype>(raw.size());
            raw.append(line.data(), static_cast<std::size_t>(line.size()));
        }
        start[kSearchedSlots] = static_cast<qsizetype>(raw.size());
        if (got < kSearchedSlots) {
            result.damagedLines = got;
            return;
        }
        const qsizetype rest = lines.skip(kSlotsPerRecord - kSearchedSlots);
        if (rest < kSlotsPerRecord - kSearchedSlots) {
            result.damagedLines = kSearchedSlots + rest;
            return;
        }
        const qsizetype record = ++result.recordsSeen;
        const auto field = [&](std::size_t i) {
            return data::firstFieldOfLine(QByteArrayView(raw.data() + start[i], start[i + 1] - start[i]));
        };

        // A record numbered "***..." marks the end of the orders.
        encoded[0] = field(0);
        if (beginsWithStars(encoded[0], number)) {
            --result.recordsSeen;
            result.endedAtMarker = true;
            return;
        }
        // The key slot's length rules most records out before the other slots are looked at;
        // filters and match rule must all hold, so the order of the tests changes nothing.
        const auto keyIndex = static_cast<std::size_t>(query.keySlot());
        const QByteArrayView encodedKey = field(keyIndex);
        if (!query.mayMatch(encodedKey))
            continue;
        for (std::size_t i = 1; i < encoded.size(); ++i)
            encoded[i] = i == keyIndex ? encodedKey : field(i);
        if (!query.passesFilters(encoded))
            continue;
        data::decodeCharCodesInto(encodedKey, keySlot);
        if (!query.matchesKeySlot(keySlot))
            continue;
        data::decodeCharCodesInto(encoded[0], number);
        FoundOrderView found;
        found.record = record;
        found.number = number;
        found.date = texts.decoded(encoded[1], found.textIds[0]);
        found.account = texts.decoded(encoded[2], found.textIds[1]);
        found.project = texts.decoded(encoded[3], found.textIds[2]);
        found.printShop = texts.decoded(encoded[4], found.textIds[3]);
        if (visit)
            visit(found);
        else
            result.orders.append(found.toOrder());
    }
}

} // namespace

bool namesPrintShop(QByteArrayView selection) {
    return selection.contains(QByteArrayView("kod"));
}

bool matchesOrder(SearchKey key, QByteArrayView selection, QByteArrayView number, QByteArrayView date,
                  QByteArrayView account, QByteArrayView project, QByteArrayView printShop) {
    const Query query(key, selection);
    if (key != SearchKey::Account && (number.size() < 1 || date.size() < 2 || account.size() < 3 ||
                                      project.size() < 3 || printShop.size() < 3))
        return false;
    switch (key) {
    case SearchKey::PrintShop:
        return query.matchesKeySlot(printShop);
    case SearchKey::Project:
        return query.matchesKeySlot(project);
    case SearchKey::Account:
        return query.matchesKeySlot(account);
    }
    return false;
}

SearchResult searchJournalText(QByteArrayView journal, SearchKey key, QByteArrayView selection) {
    SearchResult result;
    data::TextLines lines(journal);
    scanForOrders(lines, Query(key, selection), result, {});
    return result;
}

Result<SearchResult> searchJournal(const QString& journalPath, SearchKey key, QByteArrayView selection) {
    return searchJournal(journalPath, key, selection, {});
}

Result<SearchResult> searchJournal(const QString& journalPath, SearchKey key, QByteArrayView selection,
                                   const FoundOrderVisitor& found) {
    if (!data::fileExists(journalPath)) {
        SearchResult none;
        none.journalExists = false;
        return none;
    }
    data::JournalLines lines;
    if (const Status opened = lines.open(journalPath); !opened)
        return Result<SearchResult>::failure(opened.error());
    SearchResult result;
    scanForOrders(lines, Query(key, selection), result, found);
    if (!lines.status())
        return Result<SearchResult>::failure(lines.status().error());
    return result;
}

} // namespace velmora::history
