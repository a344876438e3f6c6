#include "platform/ProgramLauncher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using velmora::platform::ProgramLauncher;

namespace {

// A stand-in viewer: writes the arguments it was given, each followed by a NUL byte, to a file.
class RecordingViewer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        viewer = dir.filePath(QStringLiteral("viewer.sh"));
        record = dir.filePath(QStringLiteral("argv.bin"));
        QFile script(viewer);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + QFile::encodeName(record) + ".tmp'\nmv '" +
                     QFile::encodeName(record) + ".tmp' '" + QFile::encodeName(record) + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString document(const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("<html></html>");
        return path;
    }

    // The viewer runs detached; wait for its record, but never forever.
    QList<QByteArray> recordedArguments() {
        const QDeadlineTimer deadline(30000);
        while (!QFile::exists(record) && !deadline.hasExpired())
            QThread::msleep(20);
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> args = file.readAll().split('\0');
        args.removeLast(); // after the last NUL
        return args;
    }

    QTemporaryDir dir;
    QString viewer;
    QString record;
};

TEST_F(RecordingViewer, theFileArrivesAsOneArgumentWithoutAShell) {
    const QString doc = document(QStringLiteral("vl1 ; rm -rf x $(touch pwned) `id` | & > y.html"));
    const ProgramLauncher launcher;
    const auto status = launcher.openDocument(viewer, doc);
    ASSERT_TRUE(status.ok()) << status.error().toStdString();
    EXPECT_EQ(recordedArguments(), QList<QByteArray>{QFile::encodeName(doc)});
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("pwned"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("y.html"))));
}

TEST_F(RecordingViewer, startProgramPassesTheArgumentListExactly) {
    const ProgramLauncher launcher;
    const QStringList args{QStringLiteral("a b"), QStringLiteral("; rm -rf x"), QString(),
                           QStringLiteral(u"קובץ \"x\"")};
    ASSERT_TRUE(launcher.startProgram(viewer, args).ok());
    QList<QByteArray> expected;
    for (const QString& a : args)
        expected.append(a.toUtf8());
    EXPECT_EQ(recordedArguments(), expected);
}

TEST_F(RecordingViewer, aViewerThatCannotStartIsReportedByName) {
    const ProgramLauncher launcher;
    const QString missing = dir.filePath(QStringLiteral("no-such-viewer"));
    const auto status = launcher.openDocument(missing, document(QStringLiteral("vl1.html")));
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(missing));
}

TEST_F(RecordingViewer, aMissingDocumentIsReportedAndNothingStarts) {
    int starts = 0;
    const ProgramLauncher launcher([&](const QString&, const QStringList&) { return ++starts, true; },
                                   [&](const QString&, const QString&) { return ++starts, true; });
    for (const QString& v : {viewer, QString()}) {
        const auto status = launcher.openDocument(v, dir.filePath(QStringLiteral("vl1.html")));
        EXPECT_FALSE(status.ok());
        EXPECT_TRUE(status.error().contains(QStringLiteral("vl1.html")));
    }
    EXPECT_EQ(starts, 0);
}

TEST_F(RecordingViewer, withoutAViewerTheDocumentWindowShowsTheFileWithItsOrderNumber) {
    QStringList shown;
    bool started = false;
    const ProgramLauncher launcher([&](const QString&, const QStringList&) { return started = true; },
                                   [&](const QString& file, const QString& orderNumber) {
                                       shown = {file, orderNumber};
                                       return true;
                                   });
    const QString doc = document(QStringLiteral("vl1 x.html"));
    for (const QString& noViewer : {QString(), QStringLiteral("  ")})
        ASSERT_TRUE(launcher.openDocument(noViewer, doc, QStringLiteral(" 4201")).ok());
    EXPECT_FALSE(started);
    EXPECT_EQ(shown, QStringList({doc, QStringLiteral(" 4201")}));
}

TEST_F(RecordingViewer, aNamedViewerIsStartedAndTheDocumentWindowStaysShut) {
    bool shown = false;
    ProgramLauncher launcher;
    launcher.setDocumentWindow([&](const QString&, const QString&) { return shown = true; });
    ASSERT_TRUE(
        launcher.openDocument(viewer, document(QStringLiteral("vl1.html")), QStringLiteral(" 7")).ok());
    EXPECT_EQ(recordedArguments(),
              QList<QByteArray>{QFile::encodeName(dir.filePath(QStringLiteral("vl1.html")))});
    EXPECT_FALSE(shown);
}

// A launcher nobody gave a window (or whose window refuses) reports it instead of showing nothing.
TEST_F(RecordingViewer, noDocumentWindowIsReported) {
    const QString doc = document(QStringLiteral("vl1.html"));
    const ProgramLauncher bare;
    EXPECT_FALSE(bare.hasDocumentWindow());
    const auto status = bare.openDocument(QString(), doc);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(QStringLiteral("vl1.html")));

    const ProgramLauncher refusing([](const QString&, const QStringList&) { return true; },
                                   [](const QString&, const QString&) { return false; });
    EXPECT_FALSE(refusing.openDocument(QString(), doc).ok());
}

} // namespace
