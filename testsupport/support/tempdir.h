// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A fresh folder under the system's temporary directory for one test, removed
// with everything in it when the test ends.

#include <filesystem>
#include <random>
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("movara-test-" + std::to_string(seed()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
