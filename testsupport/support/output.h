// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a command run through the shell printed on its standard output.

#include <cstdio>
#include <string>

namespace testing_support {

inline std::string outputOf(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return output;
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, count);
    ::pclose(pipe);
    return output;
}

}  // namespace testing_support
