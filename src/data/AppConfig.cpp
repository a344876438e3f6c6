#include "data/AppConfig.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace velmora::data {
namespace {

const QString kDataDirKey = QStringLiteral("paths/dataDir");
const QString kPrimaryKey = QStringLiteral("servers/primary");
const QString kFallbackKey = QStringLiteral("servers/fallback");
const QString kViewerKey = QStringLiteral("viewer/program");
const QString kTimeoutKey = QStringLiteral("network/timeoutMs");
const QString kMaxBodyKey = QStringLiteral("network/maxBodyBytes");
const QString kTrustedCertificatesKey = QStringLiteral("network/trustedCertificates");

QString absolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString invalidValue(const QString& key, const QString& value, const QString& settingsFile) {
    return QStringLiteral(u"הערך \"%1\" של %2 בקובץ ההגדרות %3 אינו תקין; נלקח ערך ברירת המחדל.")
        .arg(value, key, QDir::toNativeSeparators(settingsFile));
}

} // namespace

QString AppConfig::defaultSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/velmora.ini");
}

QString AppConfig::defaultDataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/data");
}

QString AppConfig::usage() {
    return QStringLiteral("Options:\n"
                          "  --data-dir DIR    the data directory (environment: VELMORA_DATA_DIR)\n"
                          "  --settings FILE   the settings file (environment: VELMORA_SETTINGS)\n");
}

bool AppConfig::isServerAddress(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    const QString host = text.left(colon);
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return false;
    if (host.startsWith(QLatin1Char('[')))
        return host.size() > 2 && host.endsWith(QLatin1Char(']'));
    return !host.contains(QLatin1Char(':')) && !host.contains(QLatin1Char(' ')) &&
           !host.contains(QLatin1Char('/'));
}

Result<AppConfig::Sources> AppConfig::parse(const QStringList& arguments,
                                            const QProcessEnvironment& environment) {
    QCommandLineParser parser;
    const QCommandLineOption dataDirOption(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption settingsOption(QStringLiteral("settings"), QString(), QStringLiteral("FILE"));
    parser.addOption(dataDirOption);
    parser.addOption(settingsOption);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList args = arguments.isEmpty() ? QStringList{QStringLiteral("velmora")} : arguments;
    if (!parser.parse(args))
        return Result<Sources>::failure(QStringLiteral(u"שגיאה בשורת הפקודה: %1").arg(parser.errorText()));
    if (!parser.positionalArguments().isEmpty())
        return Result<Sources>::failure(QStringLiteral(u"שגיאה בשורת הפקודה: ארגומנט לא מוכר \"%1\".")
                                            .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption* option : {&dataDirOption, &settingsOption}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty())
            return Result<Sources>::failure(QStringLiteral(u"שגיאה בשורת הפקודה: לאפשרות --%1 חסר ערך.")
                                                .arg(option->names().constFirst()));
    }

    Sources sources;
    QString settings = parser.value(settingsOption);
    if (settings.isEmpty())
        settings = environment.value(QStringLiteral("VELMORA_SETTINGS"));
    sources.settingsFile = absolute(settings.isEmpty() ? defaultSettingsFile() : settings);

    QString dataDir = parser.value(dataDirOption);
    if (dataDir.isEmpty())
        dataDir = environment.value(QStringLiteral("VELMORA_DATA_DIR"));
    if (!dataDir.isEmpty())
        sources.dataDir = absolute(dataDir);
    return sources;
}

AppConfig AppConfig::resolve(const Sources& sources) {
    AppConfig config;
    config.settingsFile = sources.settingsFile;
    QSettings ini(sources.settingsFile, QSettings::IniFormat);
    const auto text = [&](const QString& key) {
        return ini.value(key).toString().trimmed();
    };
    if (ini.status() == QSettings::FormatError)
        config.warnings.append(QStringLiteral(u"קובץ ההגדרות %1 פגום; נלקחו ערכי ברירת המחדל.")
                                   .arg(QDir::toNativeSeparators(sources.settingsFile)));

    if (!sources.dataDir.isEmpty()) {
        config.dataDir = sources.dataDir;
    } else if (const QString dir = text(kDataDirKey); !dir.isEmpty()) {
        config.dataDir = QDir::cleanPath(QFileInfo(sources.settingsFile).absoluteDir().absoluteFilePath(dir));
    } else {
        config.dataDir = absolute(defaultDataDir());
    }

    const auto server = [&](const QString& key, const char* fallback) {
        const QString value = text(key);
        if (value.isEmpty())
            return QString::fromLatin1(fallback);
        if (isServerAddress(value))
            return value;
        config.warnings.append(invalidValue(key, value, sources.settingsFile));
        return QString::fromLatin1(fallback);
    };
    config.primaryServer = server(kPrimaryKey, kDefaultPrimaryServer);
    config.fallbackServer = server(kFallbackKey, kDefaultFallbackServer);

    config.viewer = text(kViewerKey);
    if (const QString file = text(kTrustedCertificatesKey); !file.isEmpty())
        config.trustedCertificates =
            QDir::cleanPath(QFileInfo(sources.settingsFile).absoluteDir().absoluteFilePath(file));

    if (const QString value = text(kTimeoutKey); !value.isEmpty()) {
        bool ok = false;
        const int ms = value.toInt(&ok);
        if (ok && ms > 0)
            config.requestTimeoutMs = ms;
        else
            config.warnings.append(invalidValue(kTimeoutKey, value, sources.settingsFile));
    }
    if (const QString value = text(kMaxBodyKey); !value.isEmpty()) {
        bool ok = false;
        const qint64 bytes = value.toLongLong(&ok);
        if (ok && bytes > 0)
            config.maxBodyBytes = bytes;
        else
            config.warnings.append(invalidValue(kMaxBodyKey, value, sources.settingsFile));
    }
    return config;
}

Result<AppConfig> AppConfig::load(const QStringList& arguments, const QProcessEnvironment& environment) {
    Result<Sources> sources = parse(arguments, environment);
    if (!sources)
        return Result<AppConfig>::failure(sources.error());
    return resolve(sources.value());
}

Status AppConfig::save() const {
    if (!QDir().mkpath(QFileInfo(settingsFile).absolutePath()))
        return Status::failure(QStringLiteral(u"לא ניתן ליצור את התיקייה של קובץ ההגדרות %1.")
                                   .arg(QDir::toNativeSeparators(settingsFile)));
    QSettings ini(settingsFile, QSettings::IniFormat);
    ini.setValue(kDataDirKey, dataDir);
    ini.setValue(kPrimaryKey, primaryServer);
    ini.setValue(kFallbackKey, fallbackServer);
    ini.setValue(kViewerKey, viewer);
    ini.setValue(kTimeoutKey, requestTimeoutMs);
    ini.setValue(kMaxBodyKey, maxBodyBytes);
    if (!trustedCertificates.isEmpty())
        ini.setValue(kTrustedCertificatesKey, trustedCertificates);
    ini.sync();
    if (ini.status() != QSettings::NoError)
        return Status::failure(
            QStringLiteral(u"לא ניתן לשמור את קובץ ההגדרות %1.").arg(QDir::toNativeSeparators(settingsFile)));
    return {};
}

} // namespace velmora::data
