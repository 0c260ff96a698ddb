// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program answers on its command line before any window exists, so
// that it works without a display: --version and --help print and end the
// run; --check starts the program without showing it (no display needed on
// the offscreen platform), reports whether it finds its help file and tables
// in its folder, and ends. Any other argument is left to the toolkit.

#include <optional>
#include <ostream>

namespace movara {

enum class Request { Run, Version, Help, Check };

Request requestOf(int argc, char** argv);

// The exit status for --version and --help, written to out; none for the
// other requests.
std::optional<int> answerWithoutWindows(Request request, std::ostream& out);

// Starts the program in its folder, closes it again and reports to out;
// 0 when the help file and all four tables were found and opened.
int checkInstallation(int argc, char** argv, std::ostream& out);

}  // namespace movara
