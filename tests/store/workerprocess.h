// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A storeworker started as a real process, with pipes on its stdin and
// stdout: the tests send it commands and read its one-line answers.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testing_support {

class WorkerProcess {
public:
    WorkerProcess()
    {
        // A worker that died must fail the test, not end it with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        char* arguments[] = {const_cast<char*>(STOREWORKER), nullptr};
        int failed = posix_spawn(&pid_, STOREWORKER, &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        toWorker_ = input[1];
        fromWorker_ = output[0];
        if (failed != 0) throw std::runtime_error("cannot start " + std::string(STOREWORKER));
    }
    ~WorkerProcess()
    {
        closeInput();
        if (pid_ > 0) wait();
        ::close(fromWorker_);
    }
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    pid_t pid() const { return pid_; }

    void send(const std::string& command)
    {
        std::string line = command + "\n";
        if (::write(toWorker_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            ADD_FAILURE() << "worker took no command: " << command;
    }

    // The next line the worker prints; "" when it ended or stayed silent for
    // a minute.
    std::string reply()
    {
        for (;;) {
            std::size_t end = buffered_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffered_.substr(0, end);
                buffered_.erase(0, end + 1);
                return line;
            }
            pollfd waiting{fromWorker_, POLLIN, 0};
            if (::poll(&waiting, 1, 60000) <= 0) return "";
            char chunk[4096];
            ssize_t count = ::read(fromWorker_, chunk, sizeof chunk);
            if (count <= 0) return "";
            buffered_.append(chunk, static_cast<std::size_t>(count));
        }
    }

    std::string ask(const std::string& command)
    {
        send(command);
        return reply();
    }

    // Every line up to and including the next that starts with "ok" or "error".
    std::vector<std::string> repliesToAnswer()
    {
        std::vector<std::string> lines;
        for (;;) {
            lines.push_back(reply());
            const std::string& line = lines.back();
            if (line.empty() || line.rfind("ok", 0) == 0 || line.rfind("error", 0) == 0) return lines;
        }
    }

    void closeInput()
    {
        if (toWorker_ >= 0) ::close(toWorker_);
        toWorker_ = -1;
    }

    void kill() { ::kill(pid_, SIGKILL); }

    // The exit status, or 128 + the signal that ended it.
    int wait()
    {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int toWorker_ = -1;
    int fromWorker_ = -1;
    std::string buffered_;
};

}  // namespace testing_support
