#pragma once

#include "data/Result.h"
#include "data/ServerAddress.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The program's own settings, kept in an INI file in the platform's configuration folder
// (QStandardPaths::AppConfigLocation, file velmora.ini):
//
//   [paths]    dataDir=<folder>             (a relative folder is taken from the INI file's folder)
//   [servers]  primary=<server>  fallback=<server>
//              (a host name, host:port, [IPv6]:port, or an http:// or https:// address with an
//              optional path prefix; see data/ServerAddress.h)
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
    // The base addresses when the settings file names no server.
    static constexpr const char* kDefaultPrimaryServer = "http://localhost:8080";
    static constexpr const char* kDefaultFallbackServer = "http://localhost:8081";

    QString settingsFile; // the INI file the values were read from (absolute)
    QString dataDir;      // absolute
    // The servers' base addresses ("http://host:port/prefix", no trailing slash). Empty when the
    // settings file gives no usable server there (an empty value, or one that cannot be used,
    // which is reported in warnings): the program then has no such server.
    QString primaryServer;
    QString fallbackServer;
    QString viewer; // program path; empty for the program's own document window
    int requestTimeoutMs = kDefaultTimeoutMs;
    qint64 maxBodyBytes = kDefaultMaxBodyBytes;
    QString trustedCertificates; // absolute PEM file path; empty: only the system's certificates

    // INI values that could not be used, in Hebrew, naming the setting and the file, for the
    // program to show once. A server value that cannot be used leaves that server out; another
    // value that cannot be used gives way to its default.
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

    static QString defaultSettingsFile();
    static QString defaultDataDir();
};

} // namespace velmora::data
