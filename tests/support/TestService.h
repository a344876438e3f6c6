#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace velmora::test {

// A running velmora-service for tests that talk to the web service: started on a free loopback
// port with a private copy of the sample site (service/site) and a fresh order-number database
// (an SQLite file unless the options name another), both in a temporary directory of its own. The process is
// stopped when the object goes.
//
//   velmora::test::TestService service;
//   ASSERT_TRUE(service.isRunning()) << service.errorString().toStdString();
//   QUrl url(service.baseUrl() + "/cgi-bin/scr042n.pl");
//
// Two instances on one database (the primary and the fallback server of the program):
//   TestService primary;
//   TestService fallback(TestService::sharingDatabaseOf(primary));
//
// The service's log (one line per request) goes to a file, readable with log().
class TestService {
public:
    struct Options {
        // Database file or PostgreSQL URL (see TestDatabase); empty: a fresh SQLite file in this
        // service's temporary directory.
        QString database;
        // Site directory to serve as it is; empty: a private copy of the sample site, which
        // the test may change through siteDir() before it (re)starts the service.
        QString siteDir;
        // Start in the constructor; otherwise call start().
        bool startNow = true;
        // More command-line options ("--read-timeout", "1", ...); they win over the defaults.
        QStringList arguments;
        // Serve HTTPS with this certificate and key (PEM files, see TestCertificates); empty:
        // plain HTTP. Both or neither, as the service takes them.
        QString tlsCert;
        QString tlsKey;
    };

    TestService();
    explicit TestService(Options options);
    // Options for a second service on the database of another (and a site copy of its own).
    static Options sharingDatabaseOf(const TestService& other);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    // Starts the service, or starts it again after stop() or kill(), on the same database and
    // site, and on the same port when that port is still free. Returns once the service
    // listens; false (see errorString()) when it did not come up within the time-out.
    bool start();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    // SIGTERM and wait for the end (SIGKILL after 10 s). True when the service ended on its
    // own with exit code 0, as a clean shutdown does.
    bool stop();
    // SIGKILL at once, as a crash would end it; waits until the process is gone.
    void kill();

    quint16 port() const { return m_port; }
    QString hostPort() const; // "127.0.0.1:PORT", as the program's server settings hold it
    QString baseUrl() const;  // "http://127.0.0.1:PORT", or "https://..." when it serves HTTPS
    QString database() const; // shareable with a second TestService
    QString siteDir() const;
    QByteArray log() const; // everything the service wrote to stderr so far
    // The service logs a request just after answering it: wait until the log holds text.
    bool waitForLog(const QByteArray& text, int timeoutMs = 5000) const;

    // The sample site in the source tree (read-only; tests get copies).
    static QString sampleSiteDir();

private:
    bool launch(quint16 port);

    Options m_options;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace velmora::test
