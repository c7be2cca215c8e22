#include "AdoServer.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>

namespace kelmo::test {

namespace {

std::wstring widen(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

std::shared_ptr<PGconn> connect(const std::string& database) {
    const auto server = pgServer();
    const char* keys[] = {"host", "user", "password", "dbname", nullptr};
    const char* values[] = {server->host.c_str(), server->user.c_str(), server->password.c_str(), database.c_str(),
                            nullptr};
    std::shared_ptr<PGconn> conn(PQconnectdbParams(keys, values, 0), PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK)
        ADD_FAILURE() << "cannot connect to " << database << ": " << PQerrorMessage(conn.get());
    return conn;
}

std::vector<std::vector<std::string>> run(PGconn* conn, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    PGresult* res = PQexec(conn, sql.c_str());
    const auto status = PQresultStatus(res);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        ADD_FAILURE() << "statement failed: " << sql << "\n" << PQresultErrorMessage(res);
    } else if (status == PGRES_TUPLES_OK) {
        for (int r = 0; r < PQntuples(res); ++r) {
            rows.emplace_back();
            for (int c = 0; c < PQnfields(res); ++c)
                rows.back().push_back(PQgetisnull(res, r, c) ? "<null>" : PQgetvalue(res, r, c));
        }
    }
    PQclear(res);
    return rows;
}

// Routines that hand their arguments back, for checking each type on its way in and out.
const char* kTestRoutines = R"sql(
CREATE OR REPLACE FUNCTION echo_all(b boolean = NULL, ti smallint = NULL, i integer = NULL,
                                    n numeric = NULL, c varchar = NULL, v varchar = NULL,
                                    d timestamp = NULL, f double precision = NULL)
RETURNS TABLE ("rb" boolean, "rti" smallint, "ri" integer, "rn" numeric, "rc" varchar, "rv" varchar,
               "rd" timestamp, "rf" double precision)
LANGUAGE sql AS $$ SELECT $1, $2, $3, $4, $5, $6, $7, $8 $$;

CREATE OR REPLACE PROCEDURE echo_inout(INOUT b boolean, INOUT ti smallint, INOUT i integer,
                                       INOUT n numeric, INOUT c varchar, INOUT v varchar,
                                       INOUT d timestamp)
LANGUAGE plpgsql AS $$ BEGIN NULL; END $$;

CREATE OR REPLACE PROCEDURE twice(x integer, OUT "Doubled" integer)
LANGUAGE plpgsql AS $$ BEGIN "Doubled" := x * 2; END $$;

CREATE OR REPLACE FUNCTION no_rows() RETURNS TABLE (x integer)
LANGUAGE sql AS $$ SELECT 1 WHERE false $$;

CREATE OR REPLACE FUNCTION numbers(upto integer) RETURNS TABLE ("n" integer, "label" varchar)
LANGUAGE sql AS $$ SELECT g, CASE WHEN g % 2 = 0 THEN 'even' END FROM generate_series(1, upto) g $$;

CREATE OR REPLACE FUNCTION sleepy(seconds double precision) RETURNS TABLE (x integer)
LANGUAGE sql AS $$ SELECT 1 FROM pg_sleep(seconds) $$;

CREATE TABLE IF NOT EXISTS notes (id serial PRIMARY KEY, body varchar(40));
CREATE OR REPLACE PROCEDURE add_note(body varchar) LANGUAGE sql AS $$ INSERT INTO notes (body) VALUES ($1) $$;

CREATE OR REPLACE PROCEDURE add_default_note() LANGUAGE sql AS $$ INSERT INTO notes (body) VALUES ('default') $$;

CREATE SCHEMA IF NOT EXISTS "Side";
CREATE OR REPLACE FUNCTION "Side"."where"() RETURNS TABLE (s varchar)
LANGUAGE sql AS $$ SELECT 'side'::varchar $$;
)sql";

} // namespace

std::optional<PgServer> pgServer() {
    const char* host = std::getenv("KELMO_PGHOST");
    const char* user = std::getenv("KELMO_PGUSER");
    const char* password = std::getenv("KELMO_PGPASSWORD");
    if (!host || !*host || !user || !password) return std::nullopt;
    return PgServer{host, user, password};
}

std::wstring connectionString(const std::wstring& database) {
    const auto server = pgServer();
    return L"Provider=SQLOLEDB;Data Source=" + widen(server->host) + L";Initial Catalog=" + database + L";User Id=" +
           widen(server->user) + L";Password=" + widen(server->password) + L";";
}

std::vector<std::vector<std::string>> pgQuery(const std::string& database, const std::string& sql) {
    auto conn = connect(database);
    return run(conn.get(), sql);
}

void ensureAdoTestDatabase() {
    // Test programs run side by side: one at a time creates the database and its routines.
    auto admin = connect("postgres");
    run(admin.get(), "SELECT pg_advisory_lock(4711)");
    if (run(admin.get(), "SELECT 1 FROM pg_database WHERE datname = 'adotest'").empty())
        run(admin.get(), "CREATE DATABASE adotest");
    {
        auto conn = connect("adotest");
        if (run(conn.get(), "SELECT 1 FROM pg_proc WHERE proname = 'where'").empty()) run(conn.get(), kTestRoutines);
    }
    run(admin.get(), "SELECT pg_advisory_unlock(4711)");
}

} // namespace kelmo::test
