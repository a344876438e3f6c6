#pragma once

#include "data/Result.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The program's own settings, kept in an INI file in the platform's configuration folder
// (QStandardPaths::AppConfigLocation, file velmora.ini):
//
//   [paths]    dataDir=<folder>             (a relative folder is taken from the INI file's folder)
//   [servers]  primary=<host:port>  fallback=<host:port>
//   [viewer]   program=<path>               (empty: the program's own document window)
//   [network]  timeoutMs=15000  maxBodyBytes=8388608
//              trustedCertificates=<PEM file>  (certificates an https:// server may present beside
//                                               the system's; relative: from the INI file's folder)
//
// The command-line options --data-dir DIR and --settings FILE, and the environment variables
// VELMORA_DATA_DIR and VELMORA_SETTINGS, override them: an option beats the environment, the
// environment beats the INI file, the INI file beats the built-in default. The default locations
// depend on the application name: set it before calling.
namespace velmora::data {

struct AppConfig {
    static constexpr int kDefaultTimeoutMs = 15000;
    static constexpr qint64 kDefaultMaxBodyBytes = 8 * 1024 * 1024;
    static constexpr const char* kDefaultPrimaryServer = "localhost:8080";
    static constexpr const char* kDefaultFallbackServer = "localhost:8081";

    QString settingsFile;   // the INI file the values were read from (absolute)
    QString dataDir;        // absolute
    QString primaryServer;  // "host:port"
    QString fallbackServer; // "host:port"
    QString viewer;         // program path; empty for the program's own document window
    int requestTimeoutMs = kDefaultTimeoutMs;
    qint64 maxBodyBytes = kDefaultMaxBodyBytes;
    QString trustedCertificates; // absolute PEM file path; empty: only the system's certificates

    // INI values that could not be used (their defaults were taken instead), in Hebrew, for the
    // program to show once.
    QStringList warnings;

    // What the command line and the environment say, before any file is read.
    struct Sources {
        QString settingsFile; // absolute; option, environment or the default location
        QString dataDir;      // absolute; option or environment; empty when neither gives one
    };

    // Reads the arguments (the first is the program name, as QCoreApplication::arguments() has
    // it) and the environment. Unknown options, missing option values and stray arguments are
    // errors with a Hebrew text. Reads no file.
    static Result<Sources> parse(const QStringList& arguments, const QProcessEnvironment& environment);

    // The configuration of the INI file named by the sources (a missing file gives the defaults),
    // with the sources' data directory over the file's.
    static AppConfig resolve(const Sources& sources);

    // parse() then resolve().
    static Result<AppConfig> load(const QStringList& arguments, const QProcessEnvironment& environment);

    // Writes the values to settingsFile (for instance a first INI file the user can then edit).
    Status save() const;

    // The usage text of the options.
    static QString usage();

    // True for "host:port" with a non-empty host (an IPv6 address in brackets) and a port 1-65535.
    static bool isServerAddress(const QString& text);

    static QString defaultSettingsFile();
    static QString defaultDataDir();
};

} // namespace velmora::data
