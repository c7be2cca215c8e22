#include "RegisterTestSupport.h"

#include <fstream>

#include <libpq-fe.h>

#include "database/EXStoredProcedure.h"
#include "database/Parameters.h"

namespace registertest {

namespace {

// One writer of the register with its arguments in the register's order: "name:inout" for the in-out
// location id, "name:out" for the take-off answer.
struct Writer {
    std::string name;
    std::vector<std::string> arguments;
};

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

// The register's own writers, read from its catalogue, so that the staging copies take the same names.
std::vector<Writer> writers() {
    std::vector<Writer> all;
    for (const auto& row : pgQuery("vxr",
                                   "SELECT p.proname, array_to_string(p.proargnames, ','), "
                                   "coalesce(array_to_string(p.proargmodes, ','), '') FROM pg_proc p "
                                   "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'public' "
                                   "AND p.prokind = 'p' AND (p.proname LIKE '\\_\\_to\\_%') ORDER BY 1")) {
        Writer writer{row[0], split(row[1])};
        const std::vector<std::string> modes = split(row[2]);
        for (size_t i = 0; i < modes.size() && i < writer.arguments.size(); ++i) {
            if (modes[i] == "b") writer.arguments[i] += ":inout";
            if (modes[i] == "o") writer.arguments[i] += ":out";
        }
        all.push_back(writer);
    }
    return all;
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// A new location id 4242 for id 0; the kinds whose identifier begins "EXCL" are excluded from take-off.
std::string writerSql(const Writer& writer) {
    std::string declaration;
    std::string recorded;
    std::string answers;
    for (const std::string& argument : writer.arguments) {
        const size_t colon = argument.find(':');
        const std::string name = argument.substr(0, colon);
        const std::string mode = colon == std::string::npos ? "" : argument.substr(colon + 1);
        if (!declaration.empty()) declaration += ", ";
        if (mode == "inout") {
            declaration += "INOUT " + quoted(name) + " integer";
            answers += "IF " + quoted(name) + " = 0 THEN " + quoted(name) + " := 4242; END IF; ";
        } else if (mode == "out") {
            declaration += "OUT " + quoted(name) + " boolean";
            answers += quoted(name) + " := coalesce(\"acadBlockIdentifier\", '') LIKE 'EXCL%'; ";
            continue;
        } else {
            declaration += quoted(name) + " text";
        }
        if (!recorded.empty()) recorded += ", ";
        recorded += "'" + name + "=' || coalesce(" + quoted(name) + "::text, '<null>')";
    }
    return "CREATE PROCEDURE " + quoted(writer.name) + "(" + declaration +
           ") LANGUAGE plpgsql AS $$ DECLARE cid integer; BEGIN "
           "INSERT INTO calls (pid, proc) VALUES (pg_backend_pid(), '" +
           writer.name +
           "') RETURNING id INTO cid; "
           "INSERT INTO call_args (call_id, pos, arg) SELECT cid, u.o, u.a FROM unnest(ARRAY[" +
           recorded + "]) WITH ORDINALITY AS u(a, o); " + answers + "END $$;\n";
}

const char* kReaders = R"sql(
CREATE TABLE calls (id serial PRIMARY KEY, pid integer, proc text);
CREATE TABLE call_args (call_id integer, pos integer, arg text);
CREATE FUNCTION backend_pid() RETURNS TABLE (pid integer) LANGUAGE sql AS $$ SELECT pg_backend_pid() $$;

CREATE TABLE block_rows (seq serial, parent integer, id integer, type varchar, name varchar, code varchar,
                         status varchar, area numeric, handle varchar, perimeter numeric);
CREATE FUNCTION "__to_getBlocksFromVXR"("parentID" integer)
RETURNS TABLE ("id" integer, "type" varchar, "parentid" integer, "name" varchar, "code" varchar,
               "status" varchar, "area" numeric, "handle" varchar, "perimeter" numeric)
LANGUAGE sql AS $$
    SELECT b.id, b.type, b.parent, b.name, b.code, b.status, b.area, b.handle, b.perimeter
      FROM block_rows b WHERE b.parent = $1 ORDER BY b.seq $$;

CREATE TABLE asset_rows (seq serial, location integer, drawing integer, handle varchar, identifier varchar,
                         at_description varchar, a_description varchar, x numeric, y numeric, status varchar);
CREATE SCHEMA idr;
CREATE FUNCTION idr."getLocationAssets"("locationID" integer)
RETURNS TABLE ("drawingID" integer, "handle" varchar, "acadBlockIdentifier" varchar,
               "atDescription" varchar, "aDescription" varchar, "aX" numeric, "aY" numeric, "status" varchar)
LANGUAGE sql AS $$
    SELECT a.drawing, a.handle, a.identifier, a.at_description, a.a_description, a.x, a.y, a.status
      FROM asset_rows a WHERE a.location = $1 ORDER BY a.seq $$;

CREATE TABLE attribute_rows (seq serial, drawing integer, handle varchar, tag varchar, value varchar);
CREATE FUNCTION idr."getAssetAttributes"("drawingID" integer, "handle" varchar)
RETURNS TABLE ("aTag" varchar, "aValue" varchar)
LANGUAGE sql AS $$
    SELECT t.tag, t.value FROM attribute_rows t WHERE t.drawing = $1 AND t.handle = $2 ORDER BY t.seq $$;

-- A category reader that lacks most of its columns.
CREATE FUNCTION "__gr_getCategoryBlocks"("categoryID" integer) RETURNS TABLE ("mbHandle" varchar)
LANGUAGE sql AS $$ SELECT 'A1'::varchar $$;
)sql";

std::wstring xmlString(const _bstr_t& text) {
    const wchar_t* p = text;
    return p ? p : L"";
}

std::vector<IXMLDOMNodePtr> children(const IXMLDOMNodePtr& node) {
    std::vector<IXMLDOMNodePtr> list;
    IXMLDOMNodeListPtr nodes = node->GetchildNodes();
    for (long i = 0; i < nodes->Getlength(); ++i) list.push_back(nodes->Getitem(i));
    return list;
}

IXMLDOMNodePtr child(const IXMLDOMNodePtr& node, const wchar_t* name) {
    for (const IXMLDOMNodePtr& c : children(node))
        if (xmlString(c->GetnodeName()) == name) return c;
    return IXMLDOMNodePtr();
}

// Statements on one session of the maintenance database, so that a lock taken holds until it ends.
class AdminSession {
public:
    AdminSession() {
        const auto server = pgServer();
        const char* keys[] = {"host", "user", "password", "dbname", nullptr};
        const char* values[] = {server->host.c_str(), server->user.c_str(), server->password.c_str(), "postgres",
                                nullptr};
        m_connection = PQconnectdbParams(keys, values, 0);
        if (PQstatus(m_connection) != CONNECTION_OK) ADD_FAILURE() << PQerrorMessage(m_connection);
    }
    ~AdminSession() { PQfinish(m_connection); }
    AdminSession(const AdminSession&) = delete;
    AdminSession& operator=(const AdminSession&) = delete;
    int rows(const std::string& sql) {
        PGresult* result = PQexec(m_connection, sql.c_str());
        const auto status = PQresultStatus(result);
        int count = status == PGRES_TUPLES_OK ? PQntuples(result) : 0;
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            ADD_FAILURE() << sql << ": " << PQresultErrorMessage(result);
        PQclear(result);
        return count;
    }

private:
    PGconn* m_connection;
};

} // namespace

void ensureStageDatabase() {
    const std::string stage = kStage;
    // Test programs run side by side: one at a time makes the database.
    AdminSession admin;
    admin.rows("SELECT pg_advisory_lock(4713)");
    if (admin.rows("SELECT 1 FROM pg_database WHERE datname = '" + stage + "'") == 0) {
        admin.rows("CREATE DATABASE " + stage);
        std::string sql = kReaders;
        for (const Writer& writer : writers()) sql += writerSql(writer);
        pgQuery(stage, sql);
    }
    admin.rows("SELECT pg_advisory_unlock(4713)");
}

int backendPid(CStoredProcedure* procedure) {
    CParameters none;
    procedure->setName(L"backend_pid");
    procedure->setParameters(&none);
    _RecordsetPtr rows = procedure->execSPReturnParas();
    procedure->setParameters(nullptr);
    const int pid = static_cast<int>(rows->GetCollect(L"pid"));
    // A process id of an earlier run may come again: its calls are not ours.
    pgQuery(kStage, "DELETE FROM call_args WHERE call_id IN (SELECT id FROM calls WHERE pid = " + str(pid) + ")");
    pgQuery(kStage, "DELETE FROM calls WHERE pid = " + str(pid));
    return pid;
}

std::vector<ReceivedCall> receivedCalls(int pid) {
    std::vector<ReceivedCall> calls;
    std::string last;
    for (const auto& row : pgQuery(kStage,
                                   "SELECT c.id, c.proc, a.arg FROM calls c JOIN call_args a ON a.call_id = "
                                   "c.id WHERE c.pid = " +
                                       str(pid) + " ORDER BY c.id, a.pos")) {
        if (row[0] != last) calls.push_back({row[1], {}});
        last = row[0];
        calls.back().arguments.push_back(row[2]);
    }
    return calls;
}

DebugLog::DebugLog() {
    static int serial = 0;
    m_folder = std::filesystem::temp_directory_path() /
               ("kelmo-register-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(m_folder);
    g_debugLogPath = CString((L"Z:" + (m_folder / "debug.xml").wstring()).c_str());
}

DebugLog::~DebugLog() {
    g_debugLogPath = L"";
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::vector<LoggedCall> DebugLog::calls() {
    std::vector<LoggedCall> calls;
    IXMLDOMDocumentPtr document;
    document.CreateInstance(L"Msxml2.DOMDocument");
    if (document->load(_variant_t(g_debugLogPath)) == VARIANT_FALSE) {
        ADD_FAILURE() << "the debug log does not load";
        return calls;
    }
    IXMLDOMNodePtr root = document->selectSingleNode(L"/*");
    for (const IXMLDOMNodePtr& entry : children(root)) {
        LoggedCall call;
        call.execution = xmlString(child(entry, L"description")->Gettext());
        IXMLDOMNodePtr procedure = child(entry, L"storedProcedure");
        call.procedure = xmlString(child(procedure, L"name")->Gettext());
        IXMLDOMNodePtr parameters = child(procedure, L"parameters");
        if (parameters != nullptr) {
            for (const IXMLDOMNodePtr& parameter : children(parameters)) {
                call.parameters.push_back(xmlString(child(parameter, L"parameterName")->Gettext()) + L" " +
                                          xmlString(child(parameter, L"parameterType")->Gettext()) + L" " +
                                          xmlString(child(parameter, L"parameterSize")->Gettext()));
            }
        }
        calls.push_back(call);
    }
    return calls;
}

namespace {

std::string kindOf(CEXKelmo* exception) {
    if (dynamic_cast<CEXConnection*>(exception)) return "CEXConnection";
    if (dynamic_cast<CEXStoredProcedure*>(exception)) return "CEXStoredProcedure";
    if (dynamic_cast<CEXUnhandled*>(exception)) return "CEXUnhandled";
    return "other";
}

} // namespace

Failure failureOf(const std::function<void()>& call) {
    Failure failure;
    try {
        call();
    } catch (CEXKelmo* chain) {
        failure.thrown = true;
        failure.outerClass = kindOf(chain);
        failure.outerMethod = chain->getProcSig().GetString();
        CEXKelmo* inner = chain;
        while (inner->getInnerException()) inner = inner->getInnerException();
        failure.innerClass = kindOf(inner);
        chain->deleteException();
    }
    return failure;
}

} // namespace registertest
