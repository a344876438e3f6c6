#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the order pad program with the arguments and no display at all: --help and --version must
// answer without one.
ProgramRun runProgram(const QStringList& arguments, const QString& platform = QStringLiteral("xcb")) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMORA_PROGRAM), arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

class ProgramOptions : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgramOptions, versionIsTheProjectVersion) {
    const ProgramRun run = runProgram({QString::fromLatin1(GetParam())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "velmora " VELMORA_PROJECT_VERSION "\n");
}

INSTANTIATE_TEST_SUITE_P(Spellings, ProgramOptions, ::testing::Values("--version", "-v"), [](const auto& tc) {
    return std::string(tc.param) == "-v" ? std::string("short") : std::string("long");
});

TEST(ProgramHelp, listsTheOptionsAndTheSettingsKeys) {
    for (const char* spelling : {"--help", "-h"}) {
        const ProgramRun run = runProgram({QString::fromLatin1(spelling)});
        EXPECT_EQ(run.exitCode, 0) << spelling << ' ' << run.err.toStdString();
        for (const char* text :
             {"--data-dir", "--settings", "--version", "dataDir", "primary", "fallback",
              "https://orders.example.com/velmora", "[::1]:8081", "timeoutMs", "maxBodyBytes"})
            EXPECT_TRUE(run.out.contains(QString::fromLatin1(text))) << spelling << " lacks " << text;
    }
}

// --help wins wherever it stands; the other options are not read then.
TEST(ProgramHelp, answersBeforeTheOtherOptionsAreRead) {
    const ProgramRun run =
        runProgram({QStringLiteral("--colour"), QStringLiteral("red"), QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: velmora")));
}

// Without --help an unknown option is an error in Hebrew with the usage, and the program does
// not start.
TEST(ProgramHelp, unknownOptionIsAnErrorWithTheUsage) {
    QTemporaryDir settings;
    const ProgramRun run =
        runProgram({QStringLiteral("--settings"), settings.filePath(QStringLiteral("v.ini")),
                    QStringLiteral("--colour"), QStringLiteral("red")},
                   QStringLiteral("offscreen"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral(u"שגיאה בשורת הפקודה"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Usage: velmora"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}

} // namespace
