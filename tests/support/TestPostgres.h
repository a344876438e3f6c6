#pragma once

#include <sys/types.h>

#include <string>

namespace velmora::test {

// A throw-away PostgreSQL server for tests: a cluster made with Debian's initdb in a temporary
// directory (in /dev/shm where there is one), its postmaster a child of the test process, listening on a unix
// socket in that directory and on a free loopback port, with trust authentication for the superuser
// "velmora". Run as root (as CI does), the server runs as the user "postgres" (or "nobody"), which then owns
// the directory. The server is stopped and the directory removed when the object goes; a test
// process that dies takes the server with it.
//
//   TestPostgres& postgres = TestPostgres::shared();
//   ASSERT_TRUE(postgres.isRunning()) << postgres.errorString();
//   std::string url = postgres.socketUrl(postgres.createDatabase()); // postgresql://velmora@/...
//
// Missing server binaries are an error, not a reason to skip: install Debian's postgresql package
// (scripts/install-deps.sh does). VELMORA_PG_BINDIR names another directory of binaries.
//
// Start the server from the thread that will outlive it (the test's main thread): the server is
// killed when the thread that started it ends.
class TestPostgres {
public:
    TestPostgres();
    ~TestPostgres();
    TestPostgres(const TestPostgres&) = delete;
    TestPostgres& operator=(const TestPostgres&) = delete;

    // One server for the whole test process, started on first use, stopped at exit.
    static TestPostgres& shared();

    bool isRunning() const { return m_pid > 0; }
    const std::string& errorString() const { return m_error; }

    // A new, empty database; returns its name, empty on failure.
    std::string createDatabase();
    // URLs of a database by name: over the unix socket, and over TCP on the loopback address.
    std::string socketUrl(const std::string& database) const;
    std::string tcpUrl(const std::string& database) const;

    // A fast shutdown (clients are disconnected), and a start again on the same data and port.
    bool stop();
    bool start();
    // SIGKILL to the server and all its processes, as a crash would end them; waits until the
    // postmaster is gone. start() then recovers the data from the write-ahead log.
    void kill();

    int port() const { return m_port; }
    const std::string& directory() const { return m_dir; }
    // The server's log so far.
    std::string log() const;

private:
    bool initialise();
    bool launch();
    bool waitUntilReady();

    std::string m_binDir;
    std::string m_dir;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_dropPrivileges = false;
    int m_port = 0;
    pid_t m_pid = -1;
    int m_databases = 0;
    std::string m_error;
};

} // namespace velmora::test
