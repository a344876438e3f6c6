#include "TestService.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sys/prctl.h>

#include <csignal>

namespace velmora::test {

namespace {

constexpr int kStartTimeoutMs = 20'000; // sanitizer builds start slowly on a busy machine
constexpr int kStopTimeoutMs = 10'000;

bool copyTree(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + '/' + QDir(from).relativeFilePath(source);
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target))
            return false;
        // Copies of read-only sources must stay changeable by the test.
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
    return true;
}

} // namespace

TestService::TestService()
    : TestService(Options()) {}

TestService::TestService(Options options)
    : m_options(std::move(options)) {
    if (!m_dir.isValid()) {
        m_error = "cannot create a temporary directory: " + m_dir.errorString();
        return;
    }
    if (m_options.database.isEmpty())
        m_options.database = m_dir.filePath("orders.sqlite");
    if (m_options.siteDir.isEmpty()) {
        m_options.siteDir = m_dir.filePath("site");
        if (!copyTree(sampleSiteDir(), m_options.siteDir)) {
            m_error = "cannot copy the sample site from " + sampleSiteDir();
            return;
        }
    }
    if (m_options.startNow)
        start();
}

TestService::Options TestService::sharingDatabaseOf(const TestService& other) {
    Options options;
    options.database = other.database();
    return options;
}

TestService::~TestService() {
    stop();
    // A sanitizer build reports into the log, which goes with the temporary directory.
    const QByteArray text = log();
    if (text.contains("ERROR: AddressSanitizer") || text.contains("runtime error:"))
        qCritical("velmora-service reported an error:\n%s", text.right(8000).constData());
}

QString TestService::sampleSiteDir() {
    return QStringLiteral(VELMORA_SERVICE_SITE_DIR);
}

QString TestService::hostPort() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString TestService::baseUrl() const {
    return (m_options.tlsCert.isEmpty() && m_options.tlsKey.isEmpty() ? "http://" : "https://") + hostPort();
}

QString TestService::database() const {
    return m_options.database;
}

QString TestService::siteDir() const {
    return m_options.siteDir;
}

QByteArray TestService::log() const {
    QFile file(m_dir.filePath("service.log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestService::waitForLog(const QByteArray& text, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (!log().contains(text)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

bool TestService::isRunning() const {
    return m_process && m_process->state() == QProcess::Running && m_port != 0;
}

bool TestService::start() {
    if (!m_dir.isValid())
        return false;
    if (isRunning())
        return true;
    // Reuse the port of an earlier run, so a client configured with hostPort() finds the
    // restarted service; fall back to any free port when someone else took it meanwhile.
    if (m_port != 0 && launch(m_port))
        return true;
    return launch(0);
}

bool TestService::launch(quint16 port) {
    m_process = std::make_unique<QProcess>();
    m_port = 0;
    m_process->setProgram(QStringLiteral(VELMORA_SERVICE_BINARY));
    QStringList arguments = {"--listen",  QStringLiteral("127.0.0.1:%1").arg(port),
                             "--site",    m_options.siteDir,
                             "--db",      m_options.database,
                             "--threads", "16"};
    if (!m_options.tlsCert.isEmpty())
        arguments << "--tls-cert" << m_options.tlsCert;
    if (!m_options.tlsKey.isEmpty())
        arguments << "--tls-key" << m_options.tlsKey;
    m_process->setArguments(arguments + m_options.arguments);
    // The log goes to a file: a pipe that nobody reads would stall the service once it is full.
    m_process->setStandardErrorFile(m_dir.filePath("service.log"), QIODevice::Append);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // A test process that crashes or is killed on a time-out must not leave the service behind.
    // (The signal follows the thread that started the service: start it from the test's thread.)
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start();
    if (!m_process->waitForStarted(kStartTimeoutMs)) {
        m_error = "cannot start " + m_process->program() + ": " + m_process->errorString();
        m_process.reset();
        return false;
    }

    // The service prints "listening on 127.0.0.1:PORT" once its socket listens.
    QByteArray output;
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!output.contains('\n') && !deadline.hasExpired() && m_process->state() == QProcess::Running) {
        m_process->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        output += m_process->readAllStandardOutput();
    }
    output += m_process->readAllStandardOutput();
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    const QByteArray prefix = "listening on 127.0.0.1:";
    bool ok = false;
    const uint value = line.startsWith(prefix) ? line.mid(prefix.size()).toUInt(&ok) : 0;
    if (!ok || value == 0 || value > 65535) {
        m_error = "the service did not come up (printed \"" + QString::fromUtf8(output) + "\")\n" +
                  QString::fromUtf8(log().right(4000));
        kill();
        return false;
    }
    m_port = static_cast<quint16>(value);
    m_error.clear();
    return true;
}

bool TestService::stop() {
    if (!m_process)
        return false;
    bool clean = false;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (m_process->waitForFinished(kStopTimeoutMs)) {
            clean = m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
        } else {
            m_process->kill();
            m_process->waitForFinished(kStopTimeoutMs);
        }
    }
    m_process.reset();
    return clean;
}

void TestService::kill() {
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(kStopTimeoutMs);
    }
    m_process.reset();
}

} // namespace velmora::test
