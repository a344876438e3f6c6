#include "order/Submission.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/Numbers.h"

namespace velmora::order {

OrderCheck checkOrder(const OrderForm& form) {
    // A status line set by choosing a shop begins with "מ"; the reminder begins with "א".
    if (form.statusLine.startsWith(QChar(0x05D0)))
        return OrderCheck::NoPrintShop;
    if (form.fileNames[0].isEmpty())
        return OrderCheck::NoFileName;
    if (form.account.isEmpty())
        return OrderCheck::NoAccount;
    if (form.project.isEmpty())
        return OrderCheck::NoProject;
    return OrderCheck::Passed;
}

QString checkMessage(OrderCheck check) {
    switch (check) {
    case OrderCheck::Passed:
        return {};
    case OrderCheck::NoPrintShop:
        return QStringLiteral(u"לא נקבא מכונ העתקות!");
    case OrderCheck::NoFileName:
        return QStringLiteral(u"לא רשום שם הקובץ!");
    case OrderCheck::NoAccount:
        return QStringLiteral(u"לא רשום שם מתחייב!");
    case OrderCheck::NoProject:
        return QStringLiteral(u"לא רשום שם הפרויקט!");
    }
    return {};
}

OrderRecord buildRecord(const OrderForm& form) {
    OrderRecord record;
    auto set = [&record](int slot, const QString& value) {
        record.setSlot(slot, data::toCp1255(value));
    };
    set(Slot::OrderNumber, form.statusLine);
    set(Slot::Date, form.date);
    set(Slot::Account, form.account);
    set(Slot::Project, form.project);
    set(Slot::PrintShop, form.printShop);
    set(Slot::Orderer, form.orderer);
    set(Slot::Telephone, form.telephone);
    set(Slot::HandledFor, form.handledFor);
    for (int row = 0; row < 5; ++row) {
        const auto r = static_cast<std::size_t>(row);
        set(Slot::recipient(row), form.recipients[r]);
        set(Slot::fileName(row), form.fileNames[r]);
        set(Slot::quantity(row), form.quantities[r]);
        set(Slot::colourCopies(row), form.colourCopies[r]);
        set(Slot::blackWhiteCopies(row), form.blackWhiteCopies[r]);
        set(Slot::copyType(row), form.copyTypes[r]);
    }
    return record;
}

QByteArray cleanText(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ',')
            out.append(';');
        else if (c == '"')
            out.append("''");
        else
            out.append(c);
    }
    return out;
}

OrderRecord cleanRecord(const OrderRecord& record) {
    OrderRecord cleaned;
    for (int n = OrderRecord::kFirstOrderSlot; n <= OrderRecord::kLastOrderSlot; ++n)
        cleaned.setSlot(n, cleanText(record.slot(n)));
    return cleaned;
}

void setOrderNumber(OrderRecord& record, double number) {
    record.setSlot(Slot::OrderNumber, data::numberText(number));
}

data::OrdererSettings settingsValues(const OrderForm& form) {
    return {data::toCp1255(form.orderer), data::toCp1255(form.telephone), data::toCp1255(form.handledFor)};
}

QList<LearnedEntry> learnedEntries(const OrderRecord& cleaned, const ListIndexes& indexes) {
    QList<LearnedEntry> entries;
    auto learn = [&](int index, const char* listFile, const char* countFile, int slot) {
        // A list left empty (a recipient row the user cleared) has nothing to learn.
        if (index == -1 && !cleaned.slot(slot).isEmpty())
            entries.append(
                {QString::fromLatin1(listFile), QString::fromLatin1(countFile), slot, cleaned.slot(slot)});
    };
    learn(indexes.account, "hes.dat", "hescol.dat", Slot::Account);
    learn(indexes.project, "pro.dat", "procol.dat", Slot::Project);
    for (int row = 0; row < 5; ++row)
        learn(indexes.recipients[static_cast<std::size_t>(row)], "lis.dat", "liscol.dat",
              Slot::recipient(row));
    return entries;
}

} // namespace velmora::order
