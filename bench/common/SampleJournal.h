#pragma once

// Realistic orders for the benchmarks: Hebrew accounts, projects, print shops and recipients,
// one to five plot files, dates and telephone numbers, always the same for the same seed.

#include "data/Cp1255.h"
#include "data/Journal.h"
#include "data/JournalRecord.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <random>

namespace velmora::bench {

class SampleOrders {
public:
    explicit SampleOrders(unsigned seed = 2004)
        : m_random(seed) {}

    // Order n (its number is 1000 + n).
    data::JournalRecord order(int n) {
        data::JournalRecord r;
        r.slot(1) = " " + QByteArray::number(1000 + n);
        char date[16];
        std::snprintf(date, sizeof date, "%02u-%02u-%02u", 1 + static_cast<unsigned>(m_random() % 28),
                      1 + static_cast<unsigned>(m_random() % 12), static_cast<unsigned>(m_random() % 25));
        r.slot(2) = date;
        r.slot(3) = pick(accounts());
        r.slot(4) = pick(projects());
        r.slot(5) = pick(shops());
        const unsigned recipients = 1 + m_random() % 5;
        for (unsigned i = 0; i < recipients; ++i) {
            r.slot(static_cast<int>(6 + i)) = pick(kRecipients);
            r.slot(static_cast<int>(23 + i)) = number(3);
            r.slot(static_cast<int>(28 + i)) = number(4);
        }
        r.slot(11) = pick(kPeople);
        r.slot(12) = "03-" + QByteArray::number(5000000 + m_random() % 999999);
        const unsigned plots = 1 + m_random() % 5;
        for (unsigned i = 0; i < plots; ++i) {
            r.slot(static_cast<int>(13 + 2 * i)) = "A" + QByteArray::number(100 + m_random() % 900) + "-" +
                                                   data::toCp1255(QStringLiteral(u"קומה")) +
                                                   QByteArray::number(i) + ".plt";
            r.slot(static_cast<int>(14 + 2 * i)) = number(4);
            r.slot(static_cast<int>(33 + i)) = pick(kCopyTypes);
        }
        if (plots < 5)
            r.slot(31) = " ";
        r.slot(38) = pick(kPeople);
        return r;
    }

    static const QStringList& accounts() { return kAccounts; }
    static const QStringList& projects() { return kProjects; }
    static const QStringList& shops() { return kShops; }

private:
    QByteArray pick(const QStringList& list) {
        return data::toCp1255(
            list.at(static_cast<qsizetype>(m_random() % static_cast<unsigned>(list.size()))));
    }
    QByteArray number(unsigned below) { return QByteArray::number(1 + m_random() % below); }

    inline static const QStringList kAccounts{
        QStringLiteral(u"עיריית תל אביב יפו"), QStringLiteral(u"משרד הבינוי והשיכון"),
        QStringLiteral(u"נתיבי ישראל"),        QStringLiteral(u"חברת החשמל לישראל"),
        QStringLiteral(u"רשות מקרקעי ישראל"),  QStringLiteral(u"מועצה אזורית גליל עליון")};
    inline static const QStringList kProjects{
        QStringLiteral(u"מגדל המשרדים ברמת גן"),    QStringLiteral(u"שכונת נווה אביבים שלב ב"),
        QStringLiteral(u"בית הספר היסודי בהרצליה"), QStringLiteral(u"גשר הרכבת בחדרה"),
        QStringLiteral(u"מרכז מסחרי באשדוד"),       QStringLiteral(u"בניין מגורים ברחוב ויצמן")};
    inline static const QStringList kShops{
        QStringLiteral(u"דפוס הצפון חיפה kod012"), QStringLiteral(u"העתקות המרכז תל אביב kod007"),
        QStringLiteral(u"פלוטר פלוס ירושלים kod123"), QStringLiteral(u"מכון שרטוט באר שבע kod045")};
    inline static const QStringList kRecipients{
        QStringLiteral(u"משה לוי - רחוב הרצל 12 תל אביב"),
        QStringLiteral(u"אדריכלית רונית שרון - דרך מנחם בגין 7 תל אביב"),
        QStringLiteral(u"מהנדס יוסי כהן - רחוב יפו 45 ירושלים"),
        QStringLiteral(u"פיקוח עירוני - שדרות בן גוריון 3 חיפה"),
        QStringLiteral(u"קבלן ראשי - רחוב העצמאות 20 אשדוד")};
    inline static const QStringList kPeople{QStringLiteral(u"ישראל ישראלי"), QStringLiteral(u"דנה כהן"),
                                            QStringLiteral(u"אבי לוי"), QStringLiteral(u"רות מזרחי")};
    inline static const QStringList kCopyTypes{QStringLiteral(u"עתקות ציבוניות"),
                                               QStringLiteral(u"עתקות שחור-לבן")};

    std::mt19937 m_random;
};

// Writes a journal of `orders` sample orders to `path`, a few thousand at a time, so that even a
// journal of a million orders is written without holding it in memory. `adjust` may change each
// order before it is written. Returns the file's size, or -1 when it cannot be written.
inline qint64 writeSampleJournal(const QString& path, int orders,
                                 const std::function<void(int n, data::JournalRecord&)>& adjust = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    SampleOrders sample;
    QByteArray chunk;
    for (int n = 1; n <= orders; ++n) {
        data::JournalRecord record = sample.order(n);
        if (adjust)
            adjust(n, record);
        chunk += data::encodeJournalRecord(record);
        if (chunk.size() > (4 << 20) || n == orders) {
            if (file.write(chunk) != chunk.size())
                return -1;
            chunk.clear();
        }
    }
    return file.size();
}

} // namespace velmora::bench
