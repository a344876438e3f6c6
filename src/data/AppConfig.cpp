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

QString unusableServer(const QString& key, const QString& value, const QString& why, const QString& which,
                       const QString& settingsFile) {
    return QStringLiteral(u"הערך \"%1\" של %2 בקובץ ההגדרות %3 אינו כתובת של שרת: %4.\n"
                          u"התוכנית לא תפנה אל %5 עד שהערך יתוקן. אפשר לרשום שם שרת "
                          u"(orders.example.com), שם שרת ומספר פתחה (orders.example.com:8080), כתובת "
                          u"IPv6 בסוגריים ([::1]:8081) או כתובת מלאה "
                          u"(https://orders.example.com/velmora).")
        .arg(value, key, QDir::toNativeSeparators(settingsFile), why, which);
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
    return QStringLiteral(
               "Usage: velmora [options]\n"
               "\n"
               "Options:\n"
               "  --data-dir DIR    the data directory (environment: VELMORA_DATA_DIR)\n"
               "  --settings FILE   the settings file (environment: VELMORA_SETTINGS)\n"
               "  -h, --help        show this text and end\n"
               "  -v, --version     show the program's version and end\n"
               "\n"
               "Settings file (INI; default %1):\n"
               "  [paths]    dataDir       the data directory (relative: from the settings file's folder)\n"
               "  [servers]  primary       the primary server of the web service   (default %2)\n"
               "             fallback      the fallback server                     (default %3)\n"
               "             A server is a host name (orders.example.com), a host and port\n"
               "             (orders.example.com:8080), an IPv6 address in brackets ([::1]:8081) or an\n"
               "             http:// or https:// address with an optional path prefix\n"
               "             (https://orders.example.com/velmora). An empty value: no such server.\n"
               "  [viewer]   program       the document viewer (empty: the program's own window)\n"
               "  [network]  timeoutMs     time-out of one request in milliseconds (default %4)\n"
               "             maxBodyBytes  largest reply accepted, in bytes (default %5)\n")
        .arg(QDir::toNativeSeparators(defaultSettingsFile()), QLatin1StringView(kDefaultPrimaryServer),
             QLatin1StringView(kDefaultFallbackServer), QString::number(kDefaultTimeoutMs),
             QString::number(kDefaultMaxBodyBytes));
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

    // A server the file does not mention is the default one; an empty value means no such
    // server; a value that cannot be used is reported and leaves the server out, never a
    // stand-in the user did not ask for.
    const auto server = [&](const QString& key, const char* byDefault, const QString& which) {
        if (!ini.contains(key))
            return QString::fromLatin1(byDefault);
        const QString value = text(key);
        if (value.isEmpty())
            return QString();
        Result<QString> base = serverBaseUrl(value);
        if (base)
            return std::move(base).value();
        config.warnings.append(unusableServer(key, value, base.error(), which, sources.settingsFile));
        return QString();
    };
    config.primaryServer = server(kPrimaryKey, kDefaultPrimaryServer, QStringLiteral(u"השרת הראשי"));
    config.fallbackServer = server(kFallbackKey, kDefaultFallbackServer, QStringLiteral(u"שרת הגיבוי"));

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
