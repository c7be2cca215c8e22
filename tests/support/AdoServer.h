#pragma once
// The private PostgreSQL cluster the test script starts: where it is, and direct access for checks.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kelmo::test {

struct PgServer {
    std::string host; // the socket folder
    std::string user;
    std::string password;
};

// The server named by KELMO_PGHOST, KELMO_PGUSER and KELMO_PGPASSWORD, or nothing when unset.
std::optional<PgServer> pgServer();

// An OLE DB connection string for `database` on the test server.
std::wstring connectionString(const std::wstring& database);

// Rows of a statement run directly with libpq (values as text, NULL as "<null>"); fails the test
// on a server error.
std::vector<std::vector<std::string>> pgQuery(const std::string& database, const std::string& sql);

// The database "adotest", created once per cluster, with the routines the database tests call.
void ensureAdoTestDatabase();

} // namespace kelmo::test

#define KELMO_REQUIRE_PG()                                                                \
    do {                                                                                  \
        if (!::kelmo::test::pgServer()) GTEST_SKIP() << "KELMO_PG* not set: no database"; \
    } while (0)
