#include "TestPostgres.h"

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace velmora::test {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous: initdb and a first start take seconds on a busy machine with sanitizer builds beside.
constexpr auto kInitTimeout = 120s;
constexpr auto kStartTimeout = 60s;
constexpr auto kStopTimeout = 30s;
constexpr const char* kSuperuser = "velmora";

bool isExecutable(const fs::path& file) {
    return ::access(file.c_str(), X_OK) == 0;
}

bool hasServerBinaries(const fs::path& dir) {
    return isExecutable(dir / "initdb") && isExecutable(dir / "postgres");
}

// The binaries of the newest PostgreSQL under /usr/lib/postgresql, as Debian installs them.
std::string findBinDir(std::string& error) {
    if (const char* dir = std::getenv("VELMORA_PG_BINDIR"); dir != nullptr && *dir != '\0') {
        if (hasServerBinaries(dir))
            return dir;
        error = std::string("VELMORA_PG_BINDIR=") + dir + " holds no initdb and postgres";
        return {};
    }
    std::error_code ec;
    fs::path best;
    int bestVersion = -1;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion && hasServerBinaries(entry.path() / "bin")) {
            best = entry.path() / "bin";
            bestVersion = version;
        }
    }
    if (best.empty())
        error = "no PostgreSQL server binaries (initdb, postgres) under /usr/lib/postgresql/*/bin: "
                "install Debian's postgresql package (scripts/install-deps.sh does)";
    return best.string();
}

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tail(const std::string& text, std::size_t length = 3000) {
    return text.size() <= length ? text : text.substr(text.size() - length);
}

struct Launch {
    std::vector<std::string> args;
    std::string workDir; // the server's user may not reach the test's own
    std::string logFile;
    bool dropPrivileges = false;
    uid_t uid = 0;
    gid_t gid = 0;
    bool dieWithParent = false;
};

// Starts a program with its output appended to the log file, as the server's user. -1 on failure.
pid_t spawn(const Launch& launch) {
    // Everything the child needs is made before the fork: after it, only async-signal-safe calls.
    std::vector<char*> argv;
    for (const std::string& arg : launch.args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const int log = ::open(launch.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int null = ::open("/dev/null", O_RDONLY);
    if (log < 0 || null < 0 || ::dup2(null, 0) < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0 ||
        ::chdir(launch.workDir.c_str()) != 0)
        ::_exit(126);
    if (launch.dropPrivileges &&
        (::setgroups(0, nullptr) != 0 || ::setgid(launch.gid) != 0 || ::setuid(launch.uid) != 0))
        ::_exit(126);
    // Set after the change of user, which clears it.
    if (launch.dieWithParent && (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent))
        ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// True once the process ended (status set), false when it still runs at the deadline.
bool waitForExit(pid_t pid, std::chrono::milliseconds timeout, int& status) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

// The processes whose parent is pid, from /proc.
std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> children;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // "PID (COMMAND) STATE PPID ...": the command may hold blanks and parentheses.
        const std::string stat = readFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        if (fields >> state >> parent && parent == pid)
            children.push_back(static_cast<pid_t>(std::atoi(name.c_str())));
    }
    return children;
}

} // namespace

TestPostgres::TestPostgres() {
    if (initialise())
        launch();
}

TestPostgres::~TestPostgres() {
    stop();
    if (!m_dir.empty()) {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
}

TestPostgres& TestPostgres::shared() {
    static TestPostgres server;
    return server;
}

bool TestPostgres::initialise() {
    m_binDir = findBinDir(m_error);
    if (m_binDir.empty())
        return false;

    // The cluster is thrown away, so it may as well live in memory, where initdb and CREATE
    // DATABASE take a fraction of the time they take on a busy disk. The socket's path must stay
    // short (about 100 bytes at most).
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp != nullptr && *tmp != '\0' && std::string(tmp).size() < 60) ? tmp : "/tmp";
    if (::access("/dev/shm", W_OK | X_OK) == 0)
        pattern = "/dev/shm";
    pattern += "/velmora-pg-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        m_error = "cannot create a temporary directory from " + pattern;
        return false;
    }
    m_dir = pattern;

    // PostgreSQL refuses to run as root.
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (user == nullptr)
            user = ::getpwnam("nobody");
        if (user == nullptr) {
            m_error = "running as root, and there is neither a user postgres nor nobody to run the server";
            return false;
        }
        m_uid = user->pw_uid;
        m_gid = user->pw_gid;
        m_dropPrivileges = true;
        if (::chown(m_dir.c_str(), m_uid, m_gid) != 0) {
            m_error = "cannot hand " + m_dir + " to the user " + user->pw_name;
            return false;
        }
    }

    Launch initdb;
    initdb.args = {
        m_binDir + "/initdb", "-D",        m_dir + "/data",    "-U", kSuperuser, "-A", "trust", "-E", "UTF8",
        "--no-locale",        "--no-sync", "--no-instructions"};
    initdb.logFile = m_dir + "/initdb.log";
    initdb.workDir = m_dir;
    initdb.dropPrivileges = m_dropPrivileges;
    initdb.uid = m_uid;
    initdb.gid = m_gid;
    const pid_t pid = spawn(initdb);
    int status = 0;
    if (pid < 0) {
        m_error = "cannot start initdb";
        return false;
    }
    if (!waitForExit(pid, kInitTimeout, status)) {
        ::kill(pid, SIGKILL);
        waitForExit(pid, kStopTimeout, status);
        m_error = "initdb did not finish in time";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        m_error = "initdb failed:\n" + tail(readFile(initdb.logFile));
        return false;
    }
    return true;
}

bool TestPostgres::launch() {
    // A port taken by someone else between the choice and the start: choose again. On the same
    // port (a restart), the processes of a killed server may still be on their way out: try again.
    const bool samePort = m_port != 0;
    const auto deadline = Clock::now() + kStartTimeout;
    for (int attempt = 0; samePort ? Clock::now() < deadline : attempt < 5; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(100ms);
        if (!samePort)
            m_port = freeLoopbackPort();
        Launch server;
        server.args = {m_binDir + "/postgres", "-D", m_dir + "/data", "-k", m_dir, "-p",
                       std::to_string(m_port), "-c", "listen_addresses=127.0.0.1",
                       // A server for one test: nothing needs to survive a crash of the machine.
                       "-c", "fsync=off", "-c", "full_page_writes=off", "-c", "max_connections=50", "-c",
                       "shared_buffers=16MB"};
        server.logFile = m_dir + "/server.log";
        server.workDir = m_dir;
        server.dropPrivileges = m_dropPrivileges;
        server.uid = m_uid;
        server.gid = m_gid;
        server.dieWithParent = true;
        m_pid = spawn(server);
        if (m_pid < 0) {
            m_error = "cannot start postgres";
            return false;
        }
        if (waitUntilReady()) {
            m_error.clear();
            return true;
        }
    }
    return false;
}

bool TestPostgres::waitUntilReady() {
    const std::string conninfo = "host=" + m_dir + " port=" + std::to_string(m_port) +
                                 " dbname=postgres user=" + kSuperuser + " connect_timeout=5";
    const auto deadline = Clock::now() + kStartTimeout;
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "postgres stopped at start:\n" + tail(log());
            return false;
        }
        const PGPing ping = PQping(conninfo.c_str());
        if (ping == PQPING_OK)
            return true;
        if (ping == PQPING_NO_ATTEMPT || Clock::now() >= deadline) {
            m_error = "postgres did not come up:\n" + tail(log());
            ::kill(m_pid, SIGKILL);
            waitForExit(m_pid, kStopTimeout, status);
            m_pid = -1;
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
}

bool TestPostgres::start() {
    if (isRunning())
        return true;
    if (m_binDir.empty() || m_port == 0)
        return false;
    return launch();
}

void TestPostgres::kill() {
    if (m_pid <= 0)
        return;
    // Every server process is a session of its own, and a backend outlives its postmaster until it
    // next waits for its client: freeze the postmaster so that it starts no more, kill its
    // children, then the postmaster.
    ::kill(m_pid, SIGSTOP);
    for (const pid_t child : childrenOf(m_pid))
        ::kill(child, SIGKILL);
    ::kill(m_pid, SIGKILL);
    int status = 0;
    waitForExit(m_pid, kStopTimeout, status);
    m_pid = -1;
}

bool TestPostgres::stop() {
    if (m_pid <= 0)
        return false;
    int status = 0;
    ::kill(m_pid, SIGINT); // fast shutdown
    if (!waitForExit(m_pid, kStopTimeout, status)) {
        ::kill(m_pid, SIGKILL);
        waitForExit(m_pid, kStopTimeout, status);
    }
    m_pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string TestPostgres::log() const {
    return m_dir.empty() ? std::string() : readFile(m_dir + "/server.log");
}

std::string TestPostgres::socketUrl(const std::string& database) const {
    return std::string("postgresql://") + kSuperuser + "@/" + database + "?host=" + m_dir +
           "&port=" + std::to_string(m_port);
}

std::string TestPostgres::tcpUrl(const std::string& database) const {
    return std::string("postgresql://") + kSuperuser + "@127.0.0.1:" + std::to_string(m_port) + "/" +
           database;
}

std::string TestPostgres::createDatabase() {
    if (!isRunning()) {
        if (m_error.empty())
            m_error = "the server is not running";
        return {};
    }
    PGconn* connection = PQconnectdb(socketUrl("postgres").c_str());
    const std::string name = "orders" + std::to_string(++m_databases);
    std::string created;
    if (PQstatus(connection) == CONNECTION_OK) {
        PGresult* result = PQexec(connection, ("CREATE DATABASE " + name).c_str());
        if (PQresultStatus(result) == PGRES_COMMAND_OK)
            created = name;
        else
            m_error = "CREATE DATABASE " + name + ": " + PQresultErrorMessage(result);
        PQclear(result);
    } else {
        m_error = std::string("cannot connect to the test server: ") + PQerrorMessage(connection);
    }
    PQfinish(connection);
    return created;
}

} // namespace velmora::test
