#include "data/FileIo.h"
#include "data/FileSync.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace velmora::data;
using velmora::Status;

namespace {

struct AppendCase {
    const char* name;
    std::optional<QByteArray> before; // the file's bytes before the append; none: no such file
    QByteArray appended;
    QByteArray after;
};

// An append adds its bytes after what the file holds, creating a missing file, and leaves the
// bytes on the disk (the sync succeeds) before it returns.
TEST(DurableAppendTest, addsTheBytesAfterTheFilesContent) {
    const AppendCase cases[] = {
        {"to a missing file", std::nullopt, "  1\r\n", "  1\r\n"},
        {"to an empty file", QByteArray(), "abc\r\n", "abc\r\n"},
        {"after existing lines", QByteArray("a\r\nb\r\n"), "c\r\n", "a\r\nb\r\nc\r\n"},
        {"after a line without its end", QByteArray("a"), "b\r\n", "ab\r\n"},
        {"nothing", QByteArray("a\r\n"), QByteArray(), "a\r\n"},
        {"bytes of every value", QByteArray("x"), QByteArray("\0\xe0\xff\r", 4),
         QByteArray("x\0\xe0\xff\r", 5)},
    };
    for (const AppendCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vlt.dat"));
        if (c.before) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(*c.before), c.before->size());
        }
        const Status appended = appendDurable(path, c.appended);
        ASSERT_TRUE(appended) << appended.error().toStdString();
        EXPECT_EQ(readFile(path).value(), c.after);
    }
}

// An append that cannot open its file fails with a message that names the file and creates
// nothing.
TEST(DurableAppendTest, aFileThatCannotBeOpenedIsAnError) {
    QTemporaryDir dir;
    const QString inMissingFolder = dir.filePath(QStringLiteral("missing/vlt.dat"));
    const QString folder = dir.filePath(QStringLiteral("vlt.dat"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& path : {inMissingFolder, folder}) {
        SCOPED_TRACE(path.toStdString());
        const Status appended = appendDurable(path, "a\r\n");
        ASSERT_FALSE(appended);
        EXPECT_TRUE(appended.error().contains(QStringLiteral("vlt.dat"))) << appended.error().toStdString();
    }
    EXPECT_FALSE(QFile::exists(inMissingFolder));
}

// The sync of a file that is not open is refused, not passed on to the system.
TEST(DurableAppendTest, syncOfAClosedFileFails) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("closed.dat")));
    EXPECT_FALSE(syncFile(file));
}

} // namespace
