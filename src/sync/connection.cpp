// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/connection.h"

#include <cstdlib>
#include <fstream>
#include <vector>

namespace resultsync {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> serviceFiles()
{
    std::vector<std::string> files;
    if (const std::string named = variable("PGSERVICEFILE"); !named.empty())
        files.push_back(named);
    else if (const std::string home = variable("HOME"); !home.empty())
        files.push_back(home + "/.pg_service.conf");
    const std::string system = variable("PGSYSCONFDIR");
    files.push_back((system.empty() ? std::string("/etc/postgresql-common") : system) + "/pg_service.conf");
    return files;
}

bool definesService(const std::string& file, const std::string& service)
{
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const auto start = line.find_first_not_of(" \t");
        const auto end = line.find_last_not_of(" \t\r");
        if (start != std::string::npos && line.compare(start, end - start + 1, "[" + service + "]") == 0) return true;
    }
    return false;
}

bool serviceDefined()
{
    for (const std::string& file : serviceFiles())
        if (definesService(file, DefaultService)) return true;
    return false;
}

}  // namespace

bool connectionConfigured()
{
    for (const char* name : {"PGSERVICE", "PGHOST", "PGHOSTADDR", "PGDATABASE"})
        if (!variable(name).empty()) return true;
    return serviceDefined();
}

std::string defaultConnection()
{
    if (variable("PGSERVICE").empty() && serviceDefined()) return std::string("service=") + DefaultService;
    return "";
}

}  // namespace resultsync
