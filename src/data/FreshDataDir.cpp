#include "data/FreshDataDir.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/InstalledFiles.h"
#include "data/Journal.h"
#include "data/ListFile.h"
#include "data/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velmora::data {
namespace {

struct CountFor {
    QLatin1StringView count;
    QLatin1StringView list;
};

constexpr CountFor kCounts[] = {
    {files::kAccountCount, files::kAccounts},
    {files::kProjectCount, files::kProjects},
    {files::kAddressCount, files::kAddresses},
};

// Writes a file that must not exist yet: the open fails if it does, so an existing file is never
// replaced, not even one that appears meanwhile.
Status createNewFile(const QString& path, const QByteArray& bytes) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Status::failure(
            QStringLiteral(u"לא ניתן ליצור את הקובץ %1: %2").arg(name, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        return Status::failure(QStringLiteral(u"לא ניתן לכתוב את הקובץ %1: %2").arg(name, reason));
    }
    file.close();
    return {};
}

} // namespace

QStringList seedFileNames() {
    QStringList names{files::kSettings,  files::kAccounts, files::kProjects,
                      files::kAddresses, files::kHeading,  files::kLocalTemplate};
    for (int n = 1; n <= 5; ++n)
        names.append(files::helpPage(n));
    return names;
}

namespace {

// An installed program takes the texts from its installed files (help/ for the help pages,
// seed/ for the others), so that they can be adapted where it is installed; a text missing
// there, or a program run from its build tree, takes the copy built into the program.
QString seedTextSource(const QString& name) {
    const bool helpPage = name.startsWith(QLatin1StringView("help"));
    const QString installed =
        installedFile((helpPage ? QStringLiteral("help/") : QStringLiteral("seed/")) + name);
    return installed.isEmpty() ? QStringLiteral(":/seed/") + name : installed;
}

} // namespace

QByteArray seedFileBytes(const QString& name) {
    if (!seedFileNames().contains(name))
        return {};
    QFile resource(seedTextSource(name));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(resource.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toCp1255(text);
}

Result<QStringList> seedDataDirectory(const DataDir& dir) {
    if (!QDir().mkpath(dir.path()))
        return Result<QStringList>::failure(
            QStringLiteral(u"לא ניתן ליצור את תיקיית הנתונים %1.").arg(QDir::toNativeSeparators(dir.path())));
    QStringList created;
    for (const QString& name : seedFileNames()) {
        if (fileExists(dir.file(name)))
            continue;
        const QByteArray bytes = seedFileBytes(name);
        if (bytes.isEmpty())
            return Result<QStringList>::failure(QStringLiteral(u"הקובץ %1 חסר בתוכנה.").arg(name));
        if (Status s = createNewFile(dir.file(name), bytes); !s)
            return Result<QStringList>::failure(s.error());
        created.append(name);
    }
    for (const CountFor& c : kCounts) {
        if (fileExists(dir.file(c.count)))
            continue;
        Result<QList<QByteArray>> entries = readList(dir, c.list);
        if (!entries)
            return Result<QStringList>::failure(entries.error());
        if (Status s = createNewFile(dir.file(c.count), numberLine(static_cast<double>(entries->size()))); !s)
            return Result<QStringList>::failure(s.error());
        created.append(c.count);
    }
    if (!fileExists(dir.file(files::kOrderCounter))) {
        Result<JournalScan> journal = Journal(dir).shape();
        if (!journal)
            return Result<QStringList>::failure(journal.error());
        if (Status s = createNewFile(dir.file(files::kOrderCounter),
                                     numberLine(static_cast<double>(journal->records)));
            !s)
            return Result<QStringList>::failure(s.error());
        created.append(files::kOrderCounter);
    }
    return created;
}

} // namespace velmora::data
