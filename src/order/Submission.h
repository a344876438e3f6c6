#pragma once

#include "data/SettingsFile.h"
#include "order/OrderForm.h"
#include "order/OrderRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The parts of submitting an order that do not depend on the window or the network: the checks,
// the order record and its cleaning, what is remembered and what is learned.
namespace velmora::order {

// The checks run in this order; the first that fails ends the submission with its message.
enum class OrderCheck {
    Passed,
    NoPrintShop, // the status line still begins like the reminder ("א")
    NoFileName,  // Text3 is empty
    NoAccount,   // Combo1 is empty
    NoProject,   // Combo2 is empty
};

// Empty means a text of length 0: a single blank passes.
OrderCheck checkOrder(const OrderForm& form);

// The message shown for a failed check; empty for Passed.
QString checkMessage(OrderCheck check);

// Slots 1 to 38 from the window's values, as typed (Windows-1255; a character without a code
// there becomes "?").
OrderRecord buildRecord(const OrderForm& form);

// The fields that give a previous order's record again (the inverse of buildRecord for slots 2 to
// 38), for ordering it once more: the status line stays empty, because slot 1 holds the order
// number and the new order gets its own, and the indexes are -1 (the window decides what is an
// entry of its lists).
OrderForm previousOrderForm(const OrderRecord& record);

// Nothing the program stores may contain a comma or a double quote: a comma becomes ";" and a
// double quote two apostrophes "''". No other character changes.
QByteArray cleanText(QByteArrayView text);

// The record with every one of slots 1 to 38 cleaned.
OrderRecord cleanRecord(const OrderRecord& record);

// Slot 1 after the order-number request: the number as number text (« 137»).
void setOrderNumber(OrderRecord& record, double number);

// What the settings file remembers: the three values exactly as the window holds them, not
// cleaned (a comma typed into the orderer's name is written with it).
data::OrdererSettings settingsValues(const OrderForm& form);

// One typed entry to be learned: its count file is increased by 1 and the text appended as a
// line to its list file.
struct LearnedEntry {
    QString listFile;  // hes.dat, pro.dat or lis.dat
    QString countFile; // hescol.dat, procol.dat or liscol.dat
    int slot = 0;
    QByteArray text; // the cleaned slot text, never empty
    bool operator==(const LearnedEntry&) const = default;
};

// The entries to learn, in this order: Combo1 (hes.dat, slot 3), Combo2 (pro.dat, slot 4), then
// Combo4 .. Combo8 (lis.dat, slots 6 to 10) — each one whose selected index is -1 and whose
// cleaned text is not empty (a cleared row learns nothing). Duplicates of existing entries are
// learned again; the lists are not searched.
QList<LearnedEntry> learnedEntries(const OrderRecord& cleaned, const ListIndexes& indexes);

} // namespace velmora::order
