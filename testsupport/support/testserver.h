// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A PostgreSQL 15 server of a test's own: a cluster made by initdb in a
// fresh temporary folder, listening only on a Unix socket in that folder,
// stopped and removed when the object goes. initdb refuses to run as root,
// so under root the cluster belongs to the postgres account and the server
// runs as that account.

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

inline const char* const PostgresBin = "/usr/lib/postgresql/15/bin";

// Starts program with arguments; its standard output and error go to
// /dev/null unless keepOutput.
inline pid_t spawnProgram(const std::vector<std::string>& words, bool keepOutput = false)
{
    std::vector<char*> arguments;
    for (const std::string& word : words) arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!keepOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + words[0]);
    return pid;
}

// The exit status of a finished child, or -1 when a signal ended it.
inline int exitStatusOf(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int runProgram(const std::vector<std::string>& words) { return exitStatusOf(spawnProgram(words)); }

class TestServer {
public:
    // Why no server can be started here, or "" when one can.
    static std::string missing()
    {
        if (!std::filesystem::exists(std::string(PostgresBin) + "/initdb"))
            return std::string("the PostgreSQL 15 server programs are not installed in ") + PostgresBin;
        if (::geteuid() == 0 && !::getpwnam("postgres")) return "running as root without a postgres account";
        return "";
    }

    TestServer()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "movara-pg-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for the server");
        folder_ = pattern;
        if (::geteuid() == 0) {
            const passwd* account = ::getpwnam("postgres");
            if (!account || ::chown(folder_.c_str(), account->pw_uid, account->pw_gid) != 0)
                throw std::runtime_error("cannot give the server's folder to postgres");
            // The socket's folder must be reachable by the clients, as root or not.
            ::chmod(folder_.c_str(), 0755);
        }
        if (serverCommand({"initdb", "-D", folder_ + "/data", "-A", "trust", "-U", "movara", "-E", "UTF8",
                           "--locale=C", "--no-sync"}) != 0)
            throw std::runtime_error("initdb failed in " + folder_);
        start();
    }

    ~TestServer()
    {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    void start()
    {
        if (serverCommand({"pg_ctl", "-D", folder_ + "/data", "-l", folder_ + "/server.log", "-w", "-o",
                           "-k " + folder_ + " -c listen_addresses= -c fsync=off", "start"}) != 0)
            throw std::runtime_error("the server did not start; see " + folder_ + "/server.log");
        running_ = true;
    }

    // At once, as a server that fails does.
    void stop()
    {
        if (running_) serverCommand({"pg_ctl", "-D", folder_ + "/data", "-w", "-m", "immediate", "stop"});
        running_ = false;
    }

    std::string connection(const std::string& database = "postgres") const
    {
        return "host=" + folder_ + " user=movara dbname=" + database;
    }

private:
    int serverCommand(std::vector<std::string> words) const
    {
        words[0] = std::string(PostgresBin) + "/" + words[0];
        if (::geteuid() == 0) words.insert(words.begin(), {"/usr/sbin/runuser", "-u", "postgres", "--"});
        return runProgram(words);
    }

    std::string folder_;
    bool running_ = false;
};

}  // namespace testing_support
