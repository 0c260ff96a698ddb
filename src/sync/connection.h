// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which server a sync goes to when no connection text is given, by libpq's
// conventions: the PG environment variables (PGSERVICE, PGHOST, PGDATABASE,
// ...) and the service files. A centre that keeps nothing in the
// environment names its server as the service "movara" in a service file
// (PGSERVICEFILE, ~/.pg_service.conf, or pg_service.conf in PGSYSCONFDIR or
// /etc/postgresql-common), for example
//
//   [movara]
//   host=db.example.org
//   dbname=results
//   user=centre_north
//   sslmode=verify-full
//
// with the password, if any, in ~/.pgpass.

#include <string>

namespace resultsync {

inline constexpr const char* DefaultService = "movara";

// Whether the environment or a service file names a server.
bool connectionConfigured();
// The connection text for libpq when none is given: "service=movara" when a
// service file defines it and the environment names no service, otherwise
// empty (libpq's own defaults).
std::string defaultConnection();

}  // namespace resultsync
