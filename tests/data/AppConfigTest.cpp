#include "data/AppConfig.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using velmora::data::AppConfig;

namespace {

class AppConfigTest : public ::testing::Test {
protected:
    void SetUp() override { QStandardPaths::setTestModeEnabled(true); }
    void TearDown() override { QStandardPaths::setTestModeEnabled(false); }

    QString path(const QString& name) const { return m_tmp.path() + QLatin1Char('/') + name; }

    void writeIni(const QString& file, const QString& text) const {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }

    QTemporaryDir m_tmp;
};

// Where the data directory comes from, with the INI file named by --settings in every case.
struct DataDirCase {
    const char* name;
    bool option, environment, ini;
    const char* expected; // "option", "environment", "ini" or "default"
};

void PrintTo(const DataDirCase& c, std::ostream* os) {
    *os << c.name;
}

class DataDirPrecedence : public AppConfigTest, public ::testing::WithParamInterface<DataDirCase> {};

TEST_P(DataDirPrecedence, optionBeatsEnvironmentBeatsIniBeatsDefault) {
    const DataDirCase& c = GetParam();
    const QString ini = path(QStringLiteral("velmora.ini"));
    if (c.ini)
        writeIni(ini, QStringLiteral("[paths]\ndataDir=%1\n").arg(path(QStringLiteral("from-ini"))));
    QStringList args{QStringLiteral("velmora"), QStringLiteral("--settings"), ini};
    if (c.option)
        args << QStringLiteral("--data-dir") << path(QStringLiteral("from-option"));
    QProcessEnvironment env;
    if (c.environment)
        env.insert(QStringLiteral("VELMORA_DATA_DIR"), path(QStringLiteral("from-environment")));

    const auto config = AppConfig::load(args, env);
    ASSERT_TRUE(config.ok()) << config.error().toStdString();
    const QString expected = QLatin1StringView(c.expected) == QLatin1StringView("default")
                                 ? QDir::cleanPath(AppConfig::defaultDataDir())
                                 : path(QStringLiteral("from-") + QLatin1StringView(c.expected));
    EXPECT_EQ(config->dataDir.toStdString(), expected.toStdString());
    EXPECT_EQ(config->settingsFile, ini);
}

INSTANTIATE_TEST_SUITE_P(Table, DataDirPrecedence,
                         ::testing::Values(DataDirCase{"all_given_option_wins", true, true, true, "option"},
                                           DataDirCase{"option_over_ini", true, false, true, "option"},
                                           DataDirCase{"environment_over_ini", false, true, true,
                                                       "environment"},
                                           DataDirCase{"ini_alone", false, false, true, "ini"},
                                           DataDirCase{"nothing_given", false, false, false, "default"}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(AppConfigTest, settingsFileFromOptionThenEnvironmentThenDefault) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("VELMORA_SETTINGS"), path(QStringLiteral("env.ini")));
    EXPECT_EQ(AppConfig::parse({"velmora", "--settings", path(QStringLiteral("opt.ini"))}, env)->settingsFile,
              path(QStringLiteral("opt.ini")));
    EXPECT_EQ(AppConfig::parse({"velmora"}, env)->settingsFile, path(QStringLiteral("env.ini")));
    const auto fallback = AppConfig::parse({"velmora"}, QProcessEnvironment());
    EXPECT_EQ(fallback->settingsFile, QDir::cleanPath(AppConfig::defaultSettingsFile()));
    EXPECT_TRUE(fallback->settingsFile.endsWith(QStringLiteral("/velmora.ini")));
    EXPECT_TRUE(fallback->dataDir.isEmpty());
}

TEST_F(AppConfigTest, equalsFormOfOptionsAndRelativePathsAreAccepted) {
    const auto sources = AppConfig::parse({"velmora", "--data-dir=rel/data"}, QProcessEnvironment());
    ASSERT_TRUE(sources.ok());
    EXPECT_EQ(sources->dataDir,
              QDir::cleanPath(QDir::current().absoluteFilePath(QStringLiteral("rel/data"))));
}

TEST_F(AppConfigTest, missingIniGivesDefaults) {
    const auto config = AppConfig::load({"velmora", "--settings", path(QStringLiteral("none.ini"))}, {});
    ASSERT_TRUE(config.ok());
    EXPECT_EQ(config->primaryServer, QLatin1StringView(AppConfig::kDefaultPrimaryServer));
    EXPECT_EQ(config->fallbackServer, QLatin1StringView(AppConfig::kDefaultFallbackServer));
    EXPECT_TRUE(config->viewer.isEmpty());
    EXPECT_EQ(config->requestTimeoutMs, AppConfig::kDefaultTimeoutMs);
    EXPECT_EQ(config->maxBodyBytes, AppConfig::kDefaultMaxBodyBytes);
    EXPECT_TRUE(config->warnings.isEmpty());
}

TEST_F(AppConfigTest, iniValuesAreReadAndRelativeDataDirIsTakenFromTheIniFolder) {
    const QString ini = path(QStringLiteral("conf/velmora.ini"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("conf"))));
    writeIni(ini, QStringLiteral("[paths]\ndataDir=../orders\n"
                                 "[servers]\nprimary=orders.example.com\nfallback=[::1]:8081\n"
                                 "[viewer]\nprogram=/usr/bin/firefox\n"
                                 "[network]\ntimeoutMs=5000\nmaxBodyBytes=1000\n"));
    const auto config = AppConfig::load({"velmora", "--settings", ini}, {});
    ASSERT_TRUE(config.ok());
    EXPECT_EQ(config->dataDir, path(QStringLiteral("orders")));
    EXPECT_EQ(config->primaryServer, QStringLiteral("http://orders.example.com"));
    EXPECT_EQ(config->fallbackServer, QStringLiteral("http://[::1]:8081"));
    EXPECT_EQ(config->viewer, QStringLiteral("/usr/bin/firefox"));
    EXPECT_EQ(config->requestTimeoutMs, 5000);
    EXPECT_EQ(config->maxBodyBytes, 1000);
    EXPECT_TRUE(config->warnings.isEmpty());
}

TEST_F(AppConfigTest, trustedCertificatesFileIsTakenFromTheIniFolderAndKeptWhenSaved) {
    const QString ini = path(QStringLiteral("conf/velmora.ini"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("conf"))));
    writeIni(ini, QStringLiteral("[network]\ntrustedCertificates=certs/orders-ca.pem\n"));
    auto config = AppConfig::load({"velmora", "--settings", ini}, {});
    ASSERT_TRUE(config.ok());
    EXPECT_EQ(config->trustedCertificates, path(QStringLiteral("conf/certs/orders-ca.pem")));
    EXPECT_TRUE(config->warnings.isEmpty());

    AppConfig copy = config.value();
    copy.settingsFile = path(QStringLiteral("elsewhere/velmora.ini"));
    ASSERT_TRUE(copy.save().ok());
    const auto reread = AppConfig::load({"velmora", "--settings", copy.settingsFile}, {});
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ(reread->trustedCertificates, config->trustedCertificates);

    const auto none = AppConfig::load({"velmora", "--settings", path(QStringLiteral("none.ini"))}, {});
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->trustedCertificates.isEmpty()) << "only the system's certificates by default";
}

// A server that cannot be used is named with its setting and file, and the program has no such
// server: no stand-in address is put in its place.
TEST_F(AppConfigTest, unusableServerIsReportedAndLeftOut) {
    const QString ini = path(QStringLiteral("bad.ini"));
    writeIni(ini, QStringLiteral("[servers]\nprimary=ftp://orders.example.com\nfallback=host:99999\n"));
    const auto config = AppConfig::load({"velmora", "--settings", ini}, {});
    ASSERT_TRUE(config.ok());
    EXPECT_TRUE(config->primaryServer.isEmpty());
    EXPECT_TRUE(config->fallbackServer.isEmpty());
    ASSERT_EQ(config->warnings.size(), 2);
    const QString& primary = config->warnings.at(0);
    EXPECT_TRUE(primary.contains(QStringLiteral("ftp://orders.example.com"))) << primary.toStdString();
    EXPECT_TRUE(primary.contains(QStringLiteral("servers/primary"))) << primary.toStdString();
    EXPECT_TRUE(primary.contains(QDir::toNativeSeparators(ini))) << primary.toStdString();
    EXPECT_TRUE(primary.contains(QStringLiteral(u"השרת הראשי"))) << primary.toStdString();
    EXPECT_FALSE(primary.contains(QStringLiteral("localhost"))) << primary.toStdString();
    const QString& fallback = config->warnings.at(1);
    EXPECT_TRUE(fallback.contains(QStringLiteral("servers/fallback"))) << fallback.toStdString();
    EXPECT_TRUE(fallback.contains(QStringLiteral("99999"))) << fallback.toStdString();
    EXPECT_TRUE(fallback.contains(QStringLiteral(u"שרת הגיבוי"))) << fallback.toStdString();
}

// A key that is not there is the default server; a key written empty is no server at all.
TEST_F(AppConfigTest, missingServerKeyIsTheDefaultAndAnEmptyOneIsNoServer) {
    const QString ini = path(QStringLiteral("one.ini"));
    writeIni(ini, QStringLiteral("[servers]\nfallback=\n"));
    const auto config = AppConfig::load({"velmora", "--settings", ini}, {});
    ASSERT_TRUE(config.ok());
    EXPECT_EQ(config->primaryServer, QLatin1StringView(AppConfig::kDefaultPrimaryServer));
    EXPECT_TRUE(config->fallbackServer.isEmpty());
    EXPECT_TRUE(config->warnings.isEmpty());
}

TEST_F(AppConfigTest, unusableNetworkValuesFallBackToDefaultsWithAWarningEach) {
    const QString ini = path(QStringLiteral("bad.ini"));
    writeIni(ini, QStringLiteral("[network]\ntimeoutMs=soon\nmaxBodyBytes=-5\n"));
    const auto config = AppConfig::load({"velmora", "--settings", ini}, {});
    ASSERT_TRUE(config.ok());
    EXPECT_EQ(config->requestTimeoutMs, AppConfig::kDefaultTimeoutMs);
    EXPECT_EQ(config->maxBodyBytes, AppConfig::kDefaultMaxBodyBytes);
    ASSERT_EQ(config->warnings.size(), 2);
    EXPECT_TRUE(config->warnings.first().contains(QStringLiteral("soon")));
    EXPECT_TRUE(config->warnings.first().contains(QStringLiteral("bad.ini")));
}

struct BadArgumentsCase {
    const char* name;
    QStringList arguments;
};

void PrintTo(const BadArgumentsCase& c, std::ostream* os) {
    *os << c.name;
}

class BadArguments : public ::testing::TestWithParam<BadArgumentsCase> {};

TEST_P(BadArguments, areAnErrorInHebrew) {
    const auto sources = AppConfig::parse(GetParam().arguments, QProcessEnvironment());
    ASSERT_FALSE(sources.ok());
    EXPECT_TRUE(sources.error().contains(QStringLiteral(u"שגיאה בשורת הפקודה")))
        << sources.error().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, BadArguments,
                         ::testing::Values(BadArgumentsCase{"unknown_option", {"velmora", "--colour", "red"}},
                                           BadArgumentsCase{"option_without_value",
                                                            {"velmora", "--data-dir"}},
                                           BadArgumentsCase{"empty_value", {"velmora", "--settings="}},
                                           BadArgumentsCase{"stray_argument", {"velmora", "extra"}}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(AppConfigTest, savedConfigurationLoadsBackTheSame) {
    AppConfig config =
        AppConfig::load({"velmora", "--settings", path(QStringLiteral("new/velmora.ini"))}, {}).value();
    config.dataDir = path(QStringLiteral("d"));
    config.primaryServer = QStringLiteral("https://a.example:8000/orders");
    config.viewer = QStringLiteral("/opt/viewer");
    config.requestTimeoutMs = 1234;
    ASSERT_TRUE(config.save().ok());
    const AppConfig again = AppConfig::load({"velmora", "--settings", config.settingsFile}, {}).value();
    EXPECT_EQ(again.dataDir, config.dataDir);
    EXPECT_EQ(again.primaryServer, config.primaryServer);
    EXPECT_EQ(again.fallbackServer, config.fallbackServer);
    EXPECT_EQ(again.viewer, config.viewer);
    EXPECT_EQ(again.requestTimeoutMs, 1234);
    EXPECT_EQ(again.maxBodyBytes, config.maxBodyBytes);
}

} // namespace
