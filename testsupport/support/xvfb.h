// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A virtual X server of the test's own: Xvfb started with -displayfd, so that
// it picks a free display number and tells it, and never clashes with another
// server. Stopped when the object goes. When no server can be started,
// display() is empty and failure() says why.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace testing_support {

class Xvfb {
public:
    Xvfb()
    {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            failure_ = "no pipe for the display number";
            return;
        }
        server = fork();
        if (server == 0) {
            close(pipeEnds[0]);
            const std::string fd = std::to_string(pipeEnds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[1]);
        if (server < 0) {
            failure_ = "Xvfb could not be started";
            close(pipeEnds[0]);
            return;
        }
        readDisplay(pipeEnds[0]);
        close(pipeEnds[0]);
        if (display_.empty()) stop();
    }
    ~Xvfb() { stop(); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool running() const { return !display_.empty(); }
    // ":N", or empty.
    const std::string& display() const { return display_; }
    const std::string& failure() const { return failure_; }

private:
    void readDisplay(int from)
    {
        std::string number;
        pollfd waiting{from, POLLIN, 0};
        char c = 0;
        while (poll(&waiting, 1, 10000) > 0 && read(from, &c, 1) == 1 && c != '\n') number += c;
        if (c == '\n' && !number.empty())
            display_ = ":" + number;
        else
            failure_ = "Xvfb (Debian package xvfb) could not start a display";
    }

    void stop()
    {
        if (server <= 0) return;
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        server = -1;
    }

    pid_t server = -1;
    std::string display_;
    std::string failure_;
};

}  // namespace testing_support
