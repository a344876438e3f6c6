#include "order/Submission.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/Numbers.h"

namespace velmora::order {
namespace {

// Calls visit(slot, field) for every field of the form that fills a slot of the order record,
// slots 1 to 38 (the status line stands in slot 1 until the order number replaces it). The one
// place that knows which field belongs to which slot, for both directions.
template <typename Form, typename Visit> void forEachSlotField(Form& form, Visit visit) {
    visit(Slot::OrderNumber, form.statusLine);
    visit(Slot::Date, form.date);
    visit(Slot::Account, form.account);
    visit(Slot::Project, form.project);
    visit(Slot::PrintShop, form.printShop);
    visit(Slot::Orderer, form.orderer);
    visit(Slot::Telephone, form.telephone);
    visit(Slot::HandledFor, form.handledFor);
    for (int row = 0; row < 5; ++row) {
        const auto r = static_cast<std::size_t>(row);
        visit(Slot::recipient(row), form.recipients[r]);
        visit(Slot::fileName(row), form.fileNames[r]);
        visit(Slot::quantity(row), form.quantities[r]);
        visit(Slot::colourCopies(row), form.colourCopies[r]);
        visit(Slot::blackWhiteCopies(row), form.blackWhiteCopies[r]);
        visit(Slot::copyType(row), form.copyTypes[r]);
    }
}

} // namespace

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
    forEachSlotField(
        form, [&record](int slot, const QString& value) { record.setSlot(slot, data::toCp1255(value)); });
    return record;
}

OrderForm previousOrderForm(const OrderRecord& record) {
    OrderForm form;
    forEachSlotField(form, [&record](int slot, QString& value) {
        if (slot != Slot::OrderNumber)
            value = data::fromCp1255(record.slot(slot));
    });
    form.indexes = ListIndexes{-1, -1, {-1, -1, -1, -1, -1}};
    return form;
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
