#pragma once

// An X server of the test's own, for window tests that need what only a real
// X server shows (frames, window manager hints): Xvfb started on a display it
// picks itself (-displayfd), so that it never clashes with another, and
// stopped with the object. running() is false when none could start.

#include <csignal>
#include <string>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

class Xvfb {
public:
    Xvfb()
    {
        int pipe[2];
        if (::pipe(pipe) != 0) return;
        const std::string fd = std::to_string(pipe[1]);
        char* arguments[] = {const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"), const_cast<char*>(fd.c_str()),
                             const_cast<char*>("-screen"), const_cast<char*>("0"),
                             const_cast<char*>("1280x1024x24"), const_cast<char*>("-nolisten"),
                             const_cast<char*>("tcp"), nullptr};
        const bool started = posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, arguments, environ) == 0;
        ::close(pipe[1]);
        if (!started) pid_ = 0;
        std::string number;
        pollfd ready{pipe[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && ::poll(&ready, 1, 10000) == 1 && ::read(pipe[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(pipe[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~Xvfb()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

}  // namespace testing_support
