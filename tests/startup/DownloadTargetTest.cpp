#include "startup/DownloadTarget.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using velmora::startup::DownloadTarget;

namespace {

TEST(DownloadTarget, chunksFollowEachOtherWithNothingBetween) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ruf29.dat");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older and longer page that must go entirely");
    old.close();

    DownloadTarget target;
    ASSERT_TRUE(target.open(path).ok());
    target.append("A kod1");
    target.append("01 EM:a\r\n");
    target.append("");
    target.close();
    EXPECT_FALSE(target.failed());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("A kod101 EM:a\r\n"));
}

// A full disk leaves the page incomplete; the caller must be able to tell.
TEST(DownloadTarget, failedWriteIsReportedWithTheFileName) {
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    QTemporaryDir dir;
    const QString path = dir.filePath("ruf29.dat");
    ASSERT_TRUE(QFile::link("/dev/full", path));
    DownloadTarget target;
    ASSERT_TRUE(target.open(path).ok());
    target.append(QByteArray(80, 'x'));
    target.close();
    EXPECT_TRUE(target.failed());
    EXPECT_TRUE(target.error().contains("ruf29.dat")) << target.error().toStdString();
}

TEST(DownloadTarget, fileThatCannotBeCreatedIsAnError) {
    QTemporaryDir dir;
    DownloadTarget target;
    const velmora::Status opened = target.open(dir.filePath("missing-folder/ruf29.dat"));
    EXPECT_FALSE(opened.ok());
    EXPECT_TRUE(opened.error().contains("ruf29.dat"));
    EXPECT_FALSE(target.isOpen());
}

} // namespace

namespace {

// Replace::OnCommit: the old page stays until the new one is complete and committed.
TEST(DownloadTarget, replaceOnCommitKeepsTheOldFileUntilCommit) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ruf29.dat");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("Old kod001 EM:old\r\n");
    old.close();
    const auto content = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };

    DownloadTarget dropped;
    ASSERT_TRUE(dropped.open(path, DownloadTarget::Replace::OnCommit).ok());
    dropped.append("Half a pa");
    EXPECT_EQ(content(), QByteArray("Old kod001 EM:old\r\n")) << "the old page stays during the download";
    dropped.close();
    EXPECT_EQ(content(), QByteArray("Old kod001 EM:old\r\n")) << "closed without commit: nothing replaced";

    DownloadTarget committed;
    ASSERT_TRUE(committed.open(path, DownloadTarget::Replace::OnCommit).ok());
    committed.append("New kod002 ");
    committed.append("EM:new\r\n");
    EXPECT_TRUE(committed.commit().ok());
    EXPECT_EQ(content(), QByteArray("New kod002 EM:new\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"ruf29.dat"}) << "no file left beside it";
}

} // namespace
