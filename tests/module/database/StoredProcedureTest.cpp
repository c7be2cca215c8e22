// Stored procedures, SQL statements and module registration against the private test server.
#include "database/EXStoredProcedure.h"
#include "database/ModuleDetails.h"
#include "database/ParameterBoolean.h"
#include "database/ParameterChar.h"
#include "database/ParameterDateTime.h"
#include "database/ParameterDecimal.h"
#include "database/ParameterInt.h"
#include "database/ParameterTinyInt.h"
#include "database/ParameterVarChar.h"
#include "database/SQLStatement.h"
#include "database/StoredProcedure.h"
#include "DatabaseTestXml.h"
#include "support/AdoServer.h"
#include "ServerLogin.h"

#include "core/Globals.h"
#include "core/KelmoExceptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <functional>

using namespace kelmo::test;

namespace {

using serverlogin::password;
using serverlogin::server;
using serverlogin::user;

// Runs `f`, expecting a module exception; returns "class: description" of the innermost level.
std::wstring failure(const std::function<void()>& f, CString* outerProcSig = nullptr) {
    try {
        f();
    } catch (CEXKelmo* e) {
        CEXKelmo* inner = e;
        while (inner->getInnerException()) inner = inner->getInnerException();
        std::wstring kind = dynamic_cast<CEXConnection*>(inner) ? L"CEXConnection: " : L"other: ";
        std::wstring text = kind + inner->getDescription().GetString();
        if (outerProcSig) *outerProcSig = e->getProcSig();
        e->deleteException();
        return text;
    }
    ADD_FAILURE() << "no module exception";
    return L"";
}

template <class P>
P* param(const wchar_t* name, int direction = adParamInput) {
    auto* p = new P();
    p->setName(name);
    p->setDirection(direction);
    return p;
}

// Adds a parameter holding `value` to `list`.
template <class P, class V>
P* bind(CParameters& list, const wchar_t* name, const V& value, int direction = adParamInput) {
    P* p = param<P>(name, direction);
    p->setValue(value);
    list.add(p);
    return p;
}

std::wstring text(const _variant_t& v) {
    return std::wstring(static_cast<const wchar_t*>(_bstr_t(v)));
}

class StoredProcedureTest : public ::testing::Test {
protected:
    void SetUp() override {
        KELMO_REQUIRE_PG();
        ensureAdoTestDatabase();
        sp = std::make_unique<CStoredProcedure>(server(), L"adotest", user(), password(), 10);
    }
    std::unique_ptr<CStoredProcedure> sp;
};

// Stands for an object whose connection was never made.
struct Unconnected : CStoredProcedure {
    Unconnected() : CStoredProcedure(server(), L"adotest", user(), password(), 10) {
        connection->Close();
        connected = 0;
    }
};

} // namespace

TEST(DatabaseConnection, WrongPasswordRaisesTheConnectionExceptionWithTheServersMessage) {
    KELMO_REQUIRE_PG();
    const std::wstring m = failure([] { CStoredProcedure sp(server(), L"adotest", user(), L"wrong", 5); });
    EXPECT_EQ(m.rfind(L"CEXConnection: ", 0), 0u) << m;
    EXPECT_NE(m.find(L"password authentication failed"), std::wstring::npos) << m;
}

TEST(DatabaseConnection, AServerThatIsNotRunningRaisesTheConnectionException) {
    KELMO_REQUIRE_PG();
    const auto folder = std::filesystem::temp_directory_path() / "kelmo-no-server";
    std::filesystem::create_directories(folder);
    const int before = win::comInitCount();
    const std::wstring m =
        failure([&] { CStoredProcedure sp(CString(folder.c_str()), L"adotest", user(), password(), 2); });
    EXPECT_EQ(m.rfind(L"CEXConnection: ", 0), 0u) << m;
    EXPECT_NE(m.find(L"No such file or directory"), std::wstring::npos) << m;
    EXPECT_EQ(win::comInitCount(), before); // the failed constructor left COM as it found it
}

TEST_F(StoredProcedureTest, RowsComeBackFromTheReturningVariant) {
    CParameters list;
    bind<CParameterInt>(list, L"@upto", 4);
    sp->setTimeout(5);
    sp->setName(L"numbers");
    sp->setParameters(&list);
    _RecordsetPtr rs = sp->execSPReturnParas();
    long sum = 0;
    for (; rs->GetEOF() == VARIANT_FALSE; rs->MoveNext()) sum += static_cast<long>(rs->GetCollect(_variant_t(L"n")));
    EXPECT_EQ(sum, 10);
    rs->Close();
}

TEST_F(StoredProcedureTest, VariantsWithoutParametersIgnoreASetList) {
    CParameters list;
    bind<CParameterInt>(list, L"@stray", 1);
    sp->setParameters(&list);
    sp->setName(L"[Side]..[where]");
    _RecordsetPtr rs = sp->execSPReturnNoParas();
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"s"))), L"side");

    const long before = std::stol(pgQuery("adotest", "SELECT count(*) FROM notes WHERE body = 'default'")[0][0]);
    sp->setName(L"add_default_note");
    sp->execSPNoReturnNoParas();
    EXPECT_EQ(std::stol(pgQuery("adotest", "SELECT count(*) FROM notes WHERE body = 'default'")[0][0]), before + 1);
}

TEST_F(StoredProcedureTest, AnEmptyListRunsTheProcedureWithoutParameters) {
    CParameters list;
    sp->setName(L"no_rows");
    sp->setParameters(&list);
    _RecordsetPtr rs = sp->execSPReturnParas();
    EXPECT_EQ(rs->GetBOF(), VARIANT_TRUE);
    EXPECT_EQ(rs->GetEOF(), VARIANT_TRUE);
}

TEST_F(StoredProcedureTest, NoReturnVariantStoresWhatItIsGiven) {
    CParameters list;
    auto* body = param<CParameterVarChar>(L"@body");
    body->setSize(40);
    body->setValue(L"stored; 'quoted' \"text\"");
    list.add(body);
    sp->setName(L"add_note");
    sp->setParameters(&list);
    sp->execSPNoReturnParas();
    EXPECT_FALSE(pgQuery("adotest", "SELECT 1 FROM notes WHERE body = 'stored; ''quoted'' \"text\"'").empty());
}

TEST_F(StoredProcedureTest, OnlyOutputAndInOutParametersAreReadBack) {
    CParameters list;
    auto* x = bind<CParameterInt>(list, L"@x", 21);
    auto* doubled = bind<CParameterInt>(list, L"@Doubled", 5, adParamInputOutput);
    auto* returned = bind<CParameterInt>(list, L"@RETURN_VALUE", 99, adParamReturnValue);
    sp->setName(L"twice");
    sp->setParameters(&list);
    sp->execSPNoReturnParasReturn();
    EXPECT_EQ(static_cast<long>(doubled->getValue()), 42);
    EXPECT_EQ(static_cast<long>(x->getValue()), 21);
    EXPECT_EQ(static_cast<long>(returned->getValue()), 99); // the command's return value is not copied
}

TEST_F(StoredProcedureTest, EveryTypeIsBoundAndReadBackInItsOwnType) {
    CParameters list;
    auto* b = bind<CParameterBoolean>(list, L"@b", 1, adParamInputOutput);
    auto* ti = bind<CParameterTinyInt>(list, L"@ti", 200, adParamInputOutput);
    auto* i = bind<CParameterInt>(list, L"@i", -7, adParamInputOutput);
    auto* n = param<CParameterDecimal>(L"@n", adParamInputOutput);
    n->setPrecision(300); // sent as its low 8 bits, 44
    n->setNumericScale(10);
    n->setValue(2.5);
    list.add(n);
    auto* c = bind<CParameterChar>(list, L"@c", L"ab", adParamInputOutput);
    auto* v = bind<CParameterVarChar>(list, L"@v", L"Ünïcode", adParamInputOutput);
    auto* d = bind<CParameterDateTime>(list, L"@d", COleDateTime(2014, 10, 3, 14, 5, 9), adParamInputOutput);
    sp->setName(L"echo_inout");
    sp->setParameters(&list);
    sp->execSPNoReturnParasReturn();

    EXPECT_EQ(b->getValue().vt, VT_BOOL);
    EXPECT_EQ(b->getValue().boolVal, -1); // a true output arrives as -1
    EXPECT_EQ(ti->getValue().vt, VT_UI1);
    EXPECT_EQ(ti->getValue().bVal, 200);
    EXPECT_EQ(i->getValue().vt, VT_I4);
    EXPECT_EQ(i->getValue().lVal, -7);
    EXPECT_EQ(n->getValue().vt, VT_R8);
    EXPECT_DOUBLE_EQ(n->getValue().dblVal, 2.5);
    EXPECT_EQ(text(c->getValue()), L"ab");
    EXPECT_EQ(text(v->getValue()), L"Ünïcode");
    ASSERT_EQ(d->getValue().vt, VT_DATE);
    EXPECT_EQ(COleDateTime(d->getValue().date).Format(L"%Y-%m-%d %H:%M:%S"), CString(L"2014-10-03 14:05:09"));
}

TEST_F(StoredProcedureTest, NullOutputsLeaveTheEarlierValueAndInvalidDatesTravelAsNull) {
    CParameters list;
    auto* v = bind<CParameterVarChar>(list, L"@v", L"earlier", adParamOutput);
    auto* d = param<CParameterDateTime>(L"@d", adParamInputOutput);
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    d->setValue(invalid);
    list.add(d);
    sp->setName(L"echo_inout");
    sp->setParameters(&list);
    sp->execSPNoReturnParasReturn();
    EXPECT_EQ(text(v->getValue()), L"earlier");
    EXPECT_EQ(d->getValue().vt, VT_NULL);

    CParameters echo;
    bind<CParameterDateTime>(echo, L"@d", invalid);
    sp->setName(L"echo_all");
    sp->setParameters(&echo);
    _RecordsetPtr rs = sp->execSPReturnParas();
    EXPECT_EQ(rs->GetCollect(_variant_t(L"rd")).vt, VT_NULL);
}

TEST_F(StoredProcedureTest, ATextLongerThanItsSizeIsRefusedNamingTheParameter) {
    CParameters list;
    auto* body = param<CParameterVarChar>(L"@body");
    body->setSize(5);
    body->setValue(L"far too long");
    list.add(body);
    sp->setName(L"add_note");
    sp->setParameters(&list);
    CString outer;
    const std::wstring m = failure([&] { sp->execSPNoReturnParas(); }, &outer);
    EXPECT_EQ(outer, CString(L"CStoredProcedure::execSPNoReturnParas"));
    EXPECT_NE(m.find(L"@body"), std::wstring::npos) << m;
    EXPECT_NE(m.find(L"12 characters"), std::wstring::npos) << m;
    EXPECT_TRUE(pgQuery("adotest", "SELECT 1 FROM notes WHERE body LIKE 'far too%'").empty());
}

TEST_F(StoredProcedureTest, NestedExecutionsShareTheObjectWhileARecordSetIsOpen) {
    CParameters outer;
    bind<CParameterInt>(outer, L"@upto", 3);
    sp->setName(L"numbers");
    sp->setParameters(&outer);
    _RecordsetPtr rs = sp->execSPReturnParas();
    long total = 0;
    while (rs->GetEOF() == VARIANT_FALSE) {
        CParameters inner;
        auto* x = param<CParameterInt>(L"@x");
        x->setValue(static_cast<long>(rs->GetCollect(_variant_t(L"n"))));
        inner.add(x);
        inner.add(param<CParameterInt>(L"@Doubled", adParamOutput));
        sp->setName(L"twice");
        sp->setParameters(&inner);
        sp->execSPNoReturnParasReturn();
        total += static_cast<long>(inner.getParameter(L"@Doubled")->getValue());
        rs->MoveNext();
    }
    EXPECT_EQ(total, 12);
}

TEST_F(StoredProcedureTest, ProcedureXmlNamesTheCallAndItsParameters) {
    CParameters list;
    bind<CParameterInt>(list, L"@graphicReportID", 5);
    sp->setName(L"__gr_getGraphicReport");
    IXMLDOMNodePtr bare = sp->serialize(L"urn:x");
    ASSERT_EQ(xmlChildren(bare).size(), 2u); // no list set: no "parameters"
    sp->setParameters(&list);
    IXMLDOMNodePtr node = sp->serialize(L"urn:x");
    EXPECT_EQ(xmlName(node), L"storedProcedure");
    auto children = xmlChildren(node);
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(xmlText(children[0]), L"__gr_getGraphicReport");
    EXPECT_EQ(xmlName(children[1]), L"date");
    EXPECT_EQ(xmlNamespace(children[1]), std::wstring(KELMO_NAMESPACE_URI) + L"/errors");
    EXPECT_EQ(xmlName(children[2]), L"parameters");
    EXPECT_EQ(xmlChildren(children[2]).size(), 1u);
}

TEST_F(StoredProcedureTest, AnObjectWithoutAConnectionRaisesTheConnectionException) {
    Unconnected unconnected;
    CParameters list;
    unconnected.setName(L"no_rows");
    unconnected.setParameters(&list);
    CString outer;
    std::wstring m = failure([&] { unconnected.execSPReturnParas(); }, &outer);
    EXPECT_EQ(m.rfind(L"CEXConnection: ", 0), 0u) << m;
    EXPECT_EQ(outer, CString(L"CStoredProcedure::execSPReturnParas"));
    m = failure([&] { unconnected.execSPNoReturnParas(); });
    EXPECT_EQ(m.rfind(L"CEXConnection: ", 0), 0u) << m;
}

TEST_F(StoredProcedureTest, ServerErrorsArriveWrappedWithTheirMessage) {
    sp->setName(L"no_such_procedure");
    const std::wstring m = failure([&] { sp->execSPNoReturnParas(); });
    EXPECT_NE(m.find(L"no_such_procedure"), std::wstring::npos) << m;
}

TEST(SqlStatement, RunsTextAndReportsFailuresAsStatementExceptions) {
    KELMO_REQUIRE_PG();
    ensureAdoTestDatabase();
    CSQLStatement sql(server(), L"adotest", user(), password(), 5);
    _RecordsetPtr rs = sql.execSQLReturn(L"SELECT 2 + 3 AS five");
    EXPECT_EQ(static_cast<long>(rs->GetCollect(_variant_t(L"five"))), 5);
    EXPECT_EQ(sql.execSQLNoReturn(L"SELECT 1"), 1);
    try {
        sql.execSQLNoReturn(L"SELECT * FROM missing_table");
        FAIL();
    } catch (CEXKelmo* e) {
        EXPECT_NE(dynamic_cast<CEXSQLStatement*>(e), nullptr);
        EXPECT_NE(CString(e->getDescription()).Find(L"missing_table"), -1);
        e->deleteException();
    }
}

TEST(StoredProcedureException, KeepsTheCallsXmlAndTheConnectionsErrors) {
    KELMO_REQUIRE_PG();
    ensureAdoTestDatabase();
    CStoredProcedure sp(server(), L"adotest", user(), password(), 5);
    sp.setName(L"twice");
    const _com_error error(E_FAIL, win::makeErrorInfo(L"it failed", L"PostgreSQL"));
    CEXStoredProcedure* e =
        new CEXStoredProcedure(error, &sp, KELMO_BANNER, L"Blocks.cpp", L"CBlocks::getVXRBlocks", 2);
    EXPECT_EQ(e->getDescription(), CString(L"it failed"));
    EXPECT_EQ(e->getSource(), CString(L"PostgreSQL"));
    ASSERT_TRUE(e->getProcedureNode());
    EXPECT_EQ(xmlName(e->getProcedureNode()), L"storedProcedure");
    IXMLDOMNodePtr logged = e->serialize();
    EXPECT_EQ(xmlName(logged), L"error");
    bool holdsCall = false;
    for (const auto& child : xmlChildren(logged)) holdsCall = holdsCall || xmlName(child) == L"storedProcedure";
    EXPECT_TRUE(holdsCall);
    e->deleteException();
}

TEST(ModuleRegistration, StoresNameDescriptionVersionAndDate) {
    KELMO_REQUIRE_PG();
    CModuleDetails details;
    details.setModDetails(server(), user(), password(), 5);
    auto rows = pgQuery("ostrel",
                        "SELECT description, version, to_char(build_date, 'YYYY-MM-DD HH24:MI:SS') "
                        "FROM module WHERE name = 'KRP'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "KELMO Dorvane compatible with 64bit AutoCAD 2015");
    EXPECT_EQ(rows[0][1], "64.04.00.01"); // all eleven characters
    EXPECT_EQ(rows[0][2], "2014-10-03 00:00:00");

    details.setModuleRunning(server(), user(), password(), 5);
    EXPECT_EQ(pgQuery("ostrel", "SELECT running FROM module WHERE name = 'KRP'")[0][0], "t");
}

TEST(ModuleRegistration, AnUnreachableServerArrivesWrappedAsTheConnectionException) {
    KELMO_REQUIRE_PG();
    CModuleDetails details;
    CString outer;
    const std::wstring m = failure([&] { details.setModDetails(server(), user(), L"wrong", 5); }, &outer);
    EXPECT_EQ(outer, CString(L"CModuleDetails::setModDetails"));
    EXPECT_EQ(m.rfind(L"CEXConnection: ", 0), 0u) << m;
}

TEST_F(StoredProcedureTest, ADebugLogPathRecordsEachCallUnderItsVariantsName) {
    const auto folder = std::filesystem::temp_directory_path() / ("kelmo-debug-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "debug.xml";
    g_debugLogPath = CString((L"Z:" + file.wstring()).c_str());
    CParameters list;
    bind<CParameterInt>(list, L"@upto", 2);
    sp->setName(L"numbers");
    sp->setParameters(&list);
    sp->execSPReturnParas();
    sp->execSPNoReturnParas();
    g_debugLogPath = L"";
    std::ifstream in(file);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(folder);
    EXPECT_NE(log.find("execSPReturnParas"), std::string::npos) << log;
    EXPECT_NE(log.find("execSPNoReturnParas"), std::string::npos) << log;
    EXPECT_NE(log.find("<parameterName>@upto</parameterName>"), std::string::npos) << log;
}
