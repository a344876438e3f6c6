#include "order/LoadStep.h"

#include "data/DataFiles.h"
#include "data/ListFile.h"
#include "data/TextFiles.h"

namespace velmora::order {
namespace {

// The list's fields, noting a problem when the file is missing or has fewer than `need` of them
// (the order pad selects that many entries).
QList<QByteArray> checkedFields(Result<QList<QByteArray>> fields, const QString& file, int need,
                                QStringList& problems) {
    if (!fields) {
        problems.append(fields.error());
        return {};
    }
    const qsizetype have = fields->size();
    if (have == 0)
        problems.append(QStringLiteral(u"הקובץ %1 ריק.").arg(file));
    else if (have < need)
        problems.append(
            QStringLiteral(u"בקובץ %1 יש רק %2 שדות, וצריך לפחות %3.").arg(file).arg(have).arg(need));
    return std::move(fields).value();
}

QList<QByteArray> readListChecked(const data::DataDir& dir, const QString& file, int need,
                                  QStringList& problems) {
    return checkedFields(data::readList(dir, file), file, need, problems);
}

} // namespace

QString orderDate(const QDate& day) {
    return day.toString(QStringLiteral("dd-MM-yy"));
}

OrderPadLoad loadOrderPad(const data::DataDir& dir, const QDate& today) {
    using namespace data::files;
    OrderPadLoad load;
    load.settings =
        checkedFields(data::readFields(dir.file(kSettings)), kSettings, 3, load.problems).mid(0, 3);
    load.shops = readListChecked(dir, kShops, 1, load.problems);
    load.accounts = readListChecked(dir, kAccounts, 1, load.problems);
    load.projects = readListChecked(dir, kProjects, 1, load.problems);
    load.addresses = readListChecked(dir, kAddresses, 2, load.problems);
    load.date = orderDate(today);
    return load;
}

} // namespace velmora::order
