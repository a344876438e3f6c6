#include "CrashCheck.h"

#include "data/CountFile.h"
#include "data/DataDir.h"
#include "data/DataFiles.h"
#include "data/FreshDataDir.h"
#include "data/Journal.h"
#include "data/ListFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

namespace velmora::test {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QMap<QString, QByteArray> fileHashes(const QString& folder) {
    QMap<QString, QByteArray> hashes;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QString path = it.next();
        hashes.insert(base.relativeFilePath(path),
                      QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha1).toHex());
    }
    return hashes;
}

qsizetype journalRecords(const QString& folder) {
    const Result<data::JournalScan> shape = data::Journal(data::DataDir(folder)).shape();
    return shape ? shape->records : -1;
}

QStringList settledProblems(const QString& folder) {
    QStringList problems;
    const data::DataDir dir(folder);

    QSet<QString> expected{data::files::kJournal,          data::files::kOrderCounter,
                           data::files::kTemplate,         data::files::kOrderDocument,
                           data::files::kDocumentShortcut, data::files::kAccountCount,
                           data::files::kProjectCount,     data::files::kAddressCount};
    for (const QString& name : data::seedFileNames())
        expected.insert(name);
    const QMap<QString, QByteArray> files = fileHashes(folder);
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (!expected.contains(it.key()) && !it.key().startsWith(QStringLiteral("archive/")))
            problems << QStringLiteral("unexpected file %1").arg(it.key());
    }

    const Result<data::JournalScan> shape = data::Journal(dir).shape();
    if (!shape)
        return problems << QStringLiteral("journal unreadable: %1").arg(shape.error());
    if (shape->damaged())
        problems << QStringLiteral("journal has %1 lines of a damaged record").arg(shape->damagedLines);
    const QByteArray journal = readAll(dir.file(data::files::kJournal));
    if (!journal.isEmpty() && !journal.endsWith("\r\n"))
        problems << QStringLiteral("journal's last line is not ended");

    const Result<double> counter = data::readCount(dir, data::files::kOrderCounter);
    if (!counter || *counter != static_cast<double>(shape->records))
        problems << QStringLiteral("vlc.dat holds %1, the journal %2 records")
                        .arg(counter ? QString::number(*counter) : counter.error())
                        .arg(shape->records);

    const struct {
        QLatin1StringView list, count;
    } lists[] = {{data::files::kAccounts, data::files::kAccountCount},
                 {data::files::kProjects, data::files::kProjectCount},
                 {data::files::kAddresses, data::files::kAddressCount}};
    for (const auto& l : lists) {
        const auto entries = data::readList(dir, l.list);
        const Result<double> count = data::readCount(dir, l.count);
        if (!entries || !count || *count != static_cast<double>(entries->size()))
            problems << QStringLiteral("%1 holds %2, %3 has %4 entries")
                            .arg(l.count)
                            .arg(count ? QString::number(*count) : count.error())
                            .arg(l.list)
                            .arg(entries ? QString::number(entries->size()) : entries.error());
        if (!readAll(dir.file(l.list)).endsWith("\r\n"))
            problems << QStringLiteral("%1's last line is not ended").arg(l.list);
    }

    for (qsizetype record = 1; record <= shape->records; ++record) {
        if (!files.contains(data::files::sentDocument(record)))
            problems << QStringLiteral("no archived document for record %1").arg(record);
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it.key().startsWith(QStringLiteral("archive/")) &&
            it.key() > data::files::sentDocument(shape->records))
            problems << QStringLiteral("archived document %1 of no record").arg(it.key());
    }
    if (shape->records > 0 &&
        files.value(data::files::kOrderDocument) != files.value(data::files::sentDocument(shape->records)))
        problems << QStringLiteral("vl1.html is not the document of the last record");
    return problems;
}

} // namespace velmora::test

#include "platform/Inet.h"
#include "platform/ProgramLauncher.h"

namespace velmora::test {

order::OrderForm crashTestOrder(int i) {
    order::OrderForm form;
    form.statusLine = QStringLiteral(u"מספר של  דפוס הצפון kod042");
    form.date = QStringLiteral("10/12/2026");
    form.printShop = QStringLiteral(u"דפוס הצפון kod042");
    form.orderer = QStringLiteral(u"דנה לוי");
    form.telephone = QStringLiteral("04-81%1").arg(i, 5, 10, QLatin1Char('0'));
    form.handledFor = QStringLiteral(u"יוסי כהן");
    form.account = QStringLiteral(u"חשבון %1").arg(i);
    form.project = QStringLiteral("Tower %1, \"B\"").arg(i);
    for (int r = 0; r < 5; ++r) {
        const auto row = static_cast<std::size_t>(r);
        form.recipients[row] = QStringLiteral(u"משרד %1-%2").arg(i).arg(r + 1);
        form.fileNames[row] = QStringLiteral("plan%1-%2.plt").arg(i).arg(r + 1);
        form.quantities[row] = QString::number(r + 1);
        form.colourCopies[row] = QStringLiteral("1");
        form.blackWhiteCopies[row] = QStringLiteral("2");
        form.copyTypes[row] = r % 2 ? QStringLiteral(u"צבע") : QStringLiteral(u"ש/ל");
    }
    const int kind = i % 4;
    const bool learnNames = kind == 1 || kind == 3;
    form.indexes.account = learnNames ? -1 : 0;
    form.indexes.project = learnNames ? -1 : 0;
    for (int r = 0; r < 5; ++r)
        form.indexes.recipients[static_cast<std::size_t>(r)] = (kind == 2 && r < 2) || kind == 3 ? -1 : r;
    return form;
}

order::SubmissionOutcome submitCrashTestOrder(const QString& dataDir, const QString& server, int i,
                                              QStringList& messages) {
    const order::OrderForm form = crashTestOrder(i);
    platform::Inet inet;
    inet.setRequestTimeout(10000);
    order::SubmissionSetup setup;
    setup.dataDir = data::DataDir(dataDir);
    setup.primaryServer = server;
    setup.fallbackServer = server;
    setup.launcher = platform::ProgramLauncher([](const QString&, const QStringList&) { return true; },
                                               [](const QString&, const QString&) { return true; });
    order::SubmissionWindow window;
    window.readForm = [&] {
        return form;
    };
    window.printShopText = [&] {
        return form.printShop;
    };
    window.listIndexes = [&] {
        return form.indexes;
    };
    window.serverSelector = [] {
        return QStringLiteral("1");
    };
    window.setSubmitEnabled = [](bool) {
    };
    window.showMessage = [&](const QString& text) {
        messages.append(text);
    };
    order::OrderSubmitter submitter(setup, window, inet);
    QObject::connect(&inet, &platform::Inet::StateChanged, &submitter,
                     &order::OrderSubmitter::transferStateChanged);
    return submitter.submit();
}

} // namespace velmora::test
