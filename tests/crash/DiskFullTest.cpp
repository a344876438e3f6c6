// A full disk or a read-only file at each file a submission writes: the submission says which
// file in Hebrew, leaves no file half-written, and the order is either not recorded at all or
// recorded with a document that the next start completes and a re-show makes again.
#include "CrashCheck.h"
#include "TestService.h"
#include "data/DataDir.h"
#include "data/FileIo.h"
#include "data/FreshDataDir.h"
#include "history/Reshow.h"
#include "order/PendingOrder.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

using namespace velmora;

namespace {

struct WriteFault {
    const char* file; // the file whose writes fail
    int error;        // ENOSPC: the disk fills after a few bytes; EROFS: the file cannot be written
    bool recorded;    // whether the journal keeps the order
};

std::string caseName(const ::testing::TestParamInfo<WriteFault>& info) {
    std::string name =
        std::string(info.param.error == ENOSPC ? "full_disk_" : "read_only_") + info.param.file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SubmissionWriteFault : public ::testing::TestWithParam<WriteFault> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_service.isRunning()) << m_service.errorString().toStdString();
        m_data = m_tmp.filePath(QStringLiteral("data"));
        ASSERT_TRUE(data::seedDataDirectory(data::DataDir(m_data)).ok());
        // One order is in place; the failing one is record 2. Order 3 learns into every list.
        QStringList messages;
        ASSERT_EQ(test::submitCrashTestOrder(m_data, m_service.hostPort(), 1, messages),
                  order::SubmissionOutcome::Submitted)
            << messages.join(u'\n').toStdString();
    }

    QString path(const QString& name) const { return m_data + u'/' + name; }

    test::TestService m_service;
    QTemporaryDir m_tmp;
    QString m_data;
};

TEST_P(SubmissionWriteFault, namesTheFileAndLeavesNothingHalfWritten) {
    const WriteFault fault = GetParam();
    const QString file = QString::fromLatin1(fault.file);
    const QMap<QString, QByteArray> before = test::fileHashes(m_data);

    QStringList messages;
    order::SubmissionOutcome outcome;
    {
        const data::WriteFailureForTesting failure(file, 5, fault.error);
        outcome = test::submitCrashTestOrder(m_data, m_service.hostPort(), 3, messages);
    }
    const QString shown = messages.join(u'\n');
    const QString bareName = file.section(u'/', -1);
    EXPECT_TRUE(shown.contains(bareName)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral(u"לא ניתן"))) << shown.toStdString();
    const QMap<QString, QByteArray> failed = test::fileHashes(m_data);

    if (!fault.recorded) {
        EXPECT_EQ(outcome, order::SubmissionOutcome::Failed);
        EXPECT_TRUE(shown.contains(QStringLiteral(u"ההזמנה לא נשמרה"))) << shown.toStdString();
        // Every file as it was; only the template may be the new one, it is not part of the order.
        QMap<QString, QByteArray> unchanged = failed;
        unchanged.remove(QStringLiteral("sbl.htm"));
        QMap<QString, QByteArray> old = before;
        old.remove(QStringLiteral("sbl.htm"));
        EXPECT_EQ(unchanged, old);
        EXPECT_EQ(test::journalRecords(m_data), 1);
        return;
    }

    // Recorded: the next start (with room on the disk again) completes what is missing.
    EXPECT_EQ(test::journalRecords(m_data), 2);
    const bool pending = failed.contains(QStringLiteral("pending-order.dat"));
    if (file.startsWith(QStringLiteral("archive/"))) {
        // The copy as sent is no part of the order: it is submitted, and the user is told.
        EXPECT_EQ(outcome, order::SubmissionOutcome::Submitted);
        EXPECT_FALSE(pending);
    } else {
        EXPECT_EQ(outcome, order::SubmissionOutcome::Failed);
        EXPECT_TRUE(shown.contains(QStringLiteral(u"נרשמה ביומן ההזמנות"))) << shown.toStdString();
        EXPECT_TRUE(pending);
        const Result<order::ResumedOrder> resumed = order::resumePendingOrder(data::DataDir(m_data));
        ASSERT_TRUE(resumed.ok()) << resumed.error().toStdString();
        EXPECT_EQ(resumed->outcome, order::ResumedOrder::Completed);
        EXPECT_TRUE(resumed->message.contains(QStringLiteral("vl1.html"))) << resumed->message.toStdString();
        const QStringList problems = test::settledProblems(m_data);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        // Nothing was half-written: each file was either as before or as it is now.
        const QMap<QString, QByteArray> settled = test::fileHashes(m_data);
        for (auto it = failed.begin(); it != failed.end(); ++it) {
            if (it.key() == QStringLiteral("pending-order.dat"))
                continue;
            EXPECT_TRUE(it.value() == before.value(it.key()) || it.value() == settled.value(it.key()))
                << it.key().toStdString();
        }
    }
    // A re-show makes the same document again from the journal and sbl.htm.
    const QByteArray document = bytesOf(path(QStringLiteral("vl1.html")));
    ASSERT_FALSE(document.isEmpty());
    ASSERT_TRUE(history::reshowOrder(data::DataDir(m_data), 2).ok());
    EXPECT_EQ(bytesOf(path(QStringLiteral("vl1.html"))), document);
}

// Before the journal, and the journal itself, a failure leaves the order unrecorded; after it,
// the order stands and the next start completes it. A read-only file is found by the check
// before anything is written; only the archive copy is written where it cannot be checked first.
INSTANTIATE_TEST_SUITE_P(
    EveryFile, SubmissionWriteFault,
    ::testing::Values(WriteFault{"sbl.htm", ENOSPC, false}, WriteFault{"pending-order.dat", ENOSPC, false},
                      WriteFault{"vlt.dat", ENOSPC, false}, WriteFault{"vlc.dat", ENOSPC, true},
                      WriteFault{"vl1.html", ENOSPC, true}, WriteFault{"archive/000002.html", ENOSPC, true},
                      WriteFault{"const.dat", ENOSPC, true}, WriteFault{"hescol.dat", ENOSPC, true},
                      WriteFault{"hes.dat", ENOSPC, true}, WriteFault{"procol.dat", ENOSPC, true},
                      WriteFault{"pro.dat", ENOSPC, true}, WriteFault{"liscol.dat", ENOSPC, true},
                      WriteFault{"lis.dat", ENOSPC, true}, WriteFault{"vl.url", ENOSPC, true},
                      WriteFault{"sbl.htm", EROFS, false}, WriteFault{"pending-order.dat", EROFS, false},
                      WriteFault{"vlt.dat", EROFS, false}, WriteFault{"vlc.dat", EROFS, false},
                      WriteFault{"vl1.html", EROFS, false}, WriteFault{"archive/000002.html", EROFS, true},
                      WriteFault{"const.dat", EROFS, false}, WriteFault{"hescol.dat", EROFS, false},
                      WriteFault{"hes.dat", EROFS, false}, WriteFault{"procol.dat", EROFS, false},
                      WriteFault{"pro.dat", EROFS, false}, WriteFault{"liscol.dat", EROFS, false},
                      WriteFault{"lis.dat", EROFS, false}, WriteFault{"vl.url", EROFS, false}),
    caseName);

// A data directory that really is read-only: a folder without write permission, or, for root
// (who writes into such folders anyway), a small file system mounted read-only (skipped where
// mounting is not allowed). The check before the journal finds it, and nothing changes.
TEST(SubmissionReadOnlyDirectory, isFoundBeforeAnythingIsWritten) {
    test::TestService service;
    ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
    QTemporaryDir tmp;
    const bool root = ::geteuid() == 0;
    const QString mount = tmp.filePath(QStringLiteral("disk"));
    const QString data = (root ? mount : tmp.path()) + QStringLiteral("/data");
    ASSERT_TRUE(QDir().mkpath(mount));
    const QByteArray mountPoint = QFile::encodeName(mount);
    if (root && ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "root writes into read-only folders, and no file system can be mounted here: "
                     << std::strerror(errno);
    const auto unmount = qScopeGuard([&] {
        if (root)
            ::umount2(mountPoint.constData(), MNT_DETACH);
    });
    ASSERT_TRUE(data::seedDataDirectory(data::DataDir(data)).ok());
    const QMap<QString, QByteArray> before = test::fileHashes(data);
    if (root)
        ASSERT_EQ(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
            << std::strerror(errno);
    else
        ASSERT_TRUE(QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QStringList messages;
    const order::SubmissionOutcome outcome =
        test::submitCrashTestOrder(data, service.hostPort(), 3, messages);
    if (!root)
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(outcome, order::SubmissionOutcome::Failed);
    EXPECT_TRUE(messages.join(u'\n').contains(QStringLiteral(u"ההזמנה לא נשמרה")))
        << messages.join(u'\n').toStdString();
    EXPECT_EQ(test::fileHashes(data), before);
}

} // namespace

// A really full disk: a small tmpfs mounted by the test (skipped where mounting is not allowed).
// The order is refused before anything is written, with a Hebrew message, and goes through once
// there is room again.
class SmallDisk : public ::testing::TestWithParam<qint64> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_service.isRunning()) << m_service.errorString().toStdString();
        m_mount = m_tmp.filePath(QStringLiteral("disk"));
        ASSERT_TRUE(QDir().mkpath(m_mount));
        if (::mount("tmpfs", QFile::encodeName(m_mount).constData(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        m_mounted = true;
        m_data = m_mount + QStringLiteral("/data");
        ASSERT_TRUE(data::seedDataDirectory(data::DataDir(m_data)).ok());
    }
    void TearDown() override {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mount).constData(), MNT_DETACH);
    }

    // Fills the disk with one file until at most `free` bytes are left.
    void fill(qint64 free) {
        QFile filler(m_mount + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        for (;;) {
            const QStorageInfo storage(m_mount);
            if (storage.bytesAvailable() <= free)
                break;
            if (filler.write(block.constData(),
                             std::min<qint64>(block.size(), storage.bytesAvailable() - free)) <= 0 ||
                !filler.flush())
                break;
        }
    }

    test::TestService m_service;
    QTemporaryDir m_tmp;
    QString m_mount;
    QString m_data;
    bool m_mounted = false;
};

TEST_P(SmallDisk, refusesTheOrderWithNothingChangedAndTakesItOnceThereIsRoom) {
    fill(GetParam());
    const QMap<QString, QByteArray> before = test::fileHashes(m_data);
    QStringList messages;
    const order::SubmissionOutcome outcome =
        test::submitCrashTestOrder(m_data, m_service.hostPort(), 3, messages);
    EXPECT_EQ(outcome, order::SubmissionOutcome::Failed);
    EXPECT_TRUE(messages.join(u'\n').contains(QStringLiteral(u"ההזמנה לא נשמרה")))
        << messages.join(u'\n').toStdString();
    QMap<QString, QByteArray> after = test::fileHashes(m_data);
    after.remove(QStringLiteral("sbl.htm"));
    QMap<QString, QByteArray> old = before;
    old.remove(QStringLiteral("sbl.htm"));
    EXPECT_EQ(after, old);

    ASSERT_TRUE(QFile::remove(m_mount + QStringLiteral("/filler")));
    messages.clear();
    EXPECT_EQ(test::submitCrashTestOrder(m_data, m_service.hostPort(), 3, messages),
              order::SubmissionOutcome::Submitted)
        << messages.join(u'\n').toStdString();
    const QStringList problems = test::settledProblems(m_data);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    EXPECT_EQ(test::journalRecords(m_data), 1);
}

INSTANTIATE_TEST_SUITE_P(FreeBytes, SmallDisk, ::testing::Values(0, 4096, 16384, 40960));
