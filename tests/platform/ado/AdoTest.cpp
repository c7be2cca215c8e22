// The database layer against the private test server.
#include "ado/Ado.h"
#include "ado/AdoInternal.h"
#include "support/AdoServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

using namespace kelmo::test;

namespace {

_ConnectionPtr open(const std::wstring& database) {
    _ConnectionPtr c;
    EXPECT_EQ(c.CreateInstance(L"ADODB.Connection"), S_OK);
    c->Open(_bstr_t(connectionString(database).c_str()), _bstr_t(L""), _bstr_t(L""), 0);
    return c;
}

_CommandPtr procedure(const _ConnectionPtr& c, const wchar_t* name) {
    _CommandPtr cmd;
    cmd.CreateInstance(L"ADODB.Command");
    cmd->PutRefActiveConnection(c);
    cmd->PutCommandType(adCmdStoredProc);
    cmd->PutCommandText(_bstr_t(name));
    return cmd;
}

void add(const _CommandPtr& cmd, const wchar_t* name, DataTypeEnum type, ParameterDirectionEnum dir, long size,
         const _variant_t& value) {
    cmd->GetParameters()->Append(cmd->CreateParameter(_bstr_t(name), type, dir, size, value));
}

std::wstring text(const _variant_t& v) {
    return std::wstring(static_cast<const wchar_t*>(_bstr_t(v)));
}

std::wstring failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const _com_error& e) {
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(e.Source())), L"PostgreSQL");
        return static_cast<const wchar_t*>(e.Description());
    }
    ADD_FAILURE() << "no COM error raised";
    return L"";
}

_variant_t dateVariant(double d) {
    _variant_t v;
    v.vt = VT_DATE;
    v.date = d;
    return v;
}

class AdoServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        KELMO_REQUIRE_PG();
        ensureAdoTestDatabase();
        connection = open(L"adotest");
    }
    _ConnectionPtr connection;
};

} // namespace

TEST(AdoValues, OleDatesMatchTheCalendarBothWays) {
    using namespace ADODB;
    EXPECT_EQ(oleDateToText(0.0), "1899-12-30 00:00:00.000");
    EXPECT_EQ(oleDateToText(2.25), "1900-01-01 06:00:00.000");
    EXPECT_EQ(oleDateToText(-1.25), "1899-12-29 06:00:00.000"); // the time counts forward below zero too
    double d = 0;
    ASSERT_TRUE(textToOleDate("2014-10-03 14:05:09", d));
    EXPECT_EQ(oleDateToText(d), "2014-10-03 14:05:09.000");
    ASSERT_TRUE(textToOleDate("1899-12-29 06:00:00", d));
    EXPECT_DOUBLE_EQ(d, -1.25);
    ASSERT_TRUE(textToOleDate("2000-02-29", d));
    EXPECT_EQ(oleDateToText(d), "2000-02-29 00:00:00.000");
    EXPECT_FALSE(textToOleDate("infinity", d));
}

TEST(AdoValues, ProcedureNamesInTheirBracketedForms) {
    using ADODB::splitRoutineName;
    std::wstring schema, name;
    splitRoutineName(L"__gr_getGraphicReport", schema, name);
    EXPECT_EQ(schema, L"");
    EXPECT_EQ(name, L"__gr_getGraphicReport");
    splitRoutineName(L"[idr]..[getAssetAttributes]", schema, name);
    EXPECT_EQ(schema, L"idr");
    EXPECT_EQ(name, L"getAssetAttributes");
    splitRoutineName(L"[reg].[dbo].[a.b]", schema, name);
    EXPECT_EQ(schema, L"dbo");
    EXPECT_EQ(name, L"a.b");
}

TEST(AdoValues, ConnectionStringValuesMayHoldSeparatorsWhenQuoted) {
    auto pairs = ADODB::parseConnectionString(
        L"Provider=SQLOLEDB;Data Source= host ;Password=\"a;b=c\"\" 'd\";User Id='o''k';Initial Catalog=;");
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[1].first, L"data source");
    EXPECT_EQ(pairs[1].second, L"host");
    EXPECT_EQ(pairs[2].second, L"a;b=c\" 'd");
    EXPECT_EQ(pairs[3].second, L"o'k");
    EXPECT_EQ(pairs[4].second, L"");
    EXPECT_THROW(ADODB::parseConnectionString(L"Password=\"open"), _com_error);
}

TEST(AdoPointers, AnEmptyReferenceRaisesTheInvalidPointerError) {
    _RecordsetPtr rs;
    try {
        rs->GetEOF();
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_POINTER);
    }
    _CommandPtr cmd;
    EXPECT_EQ(cmd.CreateInstance(L"ADODB.Connection"), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(cmd.CreateInstance(L"ADODB.Command"), S_OK);
}

TEST_F(AdoServerTest, ConnectionReportsItsDatabaseAndState) {
    EXPECT_EQ(connection->GetState(), adStateOpen);
    EXPECT_EQ(std::wstring(connection->GetDefaultDatabase()), L"adotest");
    connection->Close();
    EXPECT_EQ(connection->GetState(), adStateClosed);
    EXPECT_THROW(connection->Close(), _com_error);
    _CommandPtr cmd = procedure(connection, L"no_rows");
    EXPECT_THROW(cmd->Execute(nullptr, nullptr, adCmdStoredProc), _com_error);
}

TEST_F(AdoServerTest, WrongPasswordGivesTheServersMessage) {
    const auto server = *pgServer();
    _ConnectionPtr c;
    c.CreateInstance(L"ADODB.Connection");
    std::wstring s = L"Provider=SQLOLEDB;Data Source=" + std::wstring(server.host.begin(), server.host.end()) +
                     L";Initial Catalog=adotest;User Id=postgres;Password=wrong;";
    const std::wstring message = failureOf([&] { c->Open(_bstr_t(s.c_str()), _bstr_t(L""), _bstr_t(L""), 0); });
    EXPECT_NE(message.find(L"password authentication failed"), std::wstring::npos) << message;
    EXPECT_EQ(c->GetState(), adStateClosed);
    ASSERT_EQ(c->GetErrors()->GetCount(), 1);
    EXPECT_EQ(std::wstring(c->GetErrors()->GetItem(_variant_t(0L))->GetDescription()), message);
}

TEST_F(AdoServerTest, ServerNotRunningGivesTheConnectionFailure) {
    const auto folder = std::filesystem::temp_directory_path() / "kelmo-no-server";
    std::filesystem::create_directories(folder);
    _ConnectionPtr c;
    c.CreateInstance(L"ADODB.Connection");
    c->PutConnectionTimeout(2);
    std::wstring s = L"Data Source=" + folder.wstring() + L";Initial Catalog=adotest;User Id=x;Password=y;";
    const std::wstring message = failureOf([&] { c->Open(_bstr_t(s.c_str()), _bstr_t(L""), _bstr_t(L""), 0); });
    EXPECT_NE(message.find(L"No such file or directory"), std::wstring::npos) << message;
}

TEST_F(AdoServerTest, ValuesWithSeparatorsConnectAsTypedAndAddNoProperty) {
    // A role whose name and password hold every character the string form treats specially.
    pgQuery("adotest",
            "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'we;ird=''x y') THEN "
            "CREATE ROLE \"we;ird='x y\" LOGIN PASSWORD 'p;Initial Catalog=postgres; ''q\" '; END IF; END $$");
    const auto server = *pgServer();
    _ConnectionPtr c;
    c.CreateInstance(L"ADODB.Connection");
    std::wstring s =
        L"Provider=SQLOLEDB;Data Source=" + std::wstring(server.host.begin(), server.host.end()) +
        L";Initial Catalog=adotest;User Id=\"we;ird='x y\";Password=\"p;Initial Catalog=postgres; 'q\"\" \";";
    c->Open(_bstr_t(s.c_str()), _bstr_t(L""), _bstr_t(L""), 0);
    EXPECT_EQ(std::wstring(c->GetDefaultDatabase()), L"adotest");
    _RecordsetPtr rs = c->Execute(_bstr_t(L"SELECT current_user AS u"), nullptr, adCmdText);
    EXPECT_EQ(text(rs->GetFields()->GetItem(_variant_t(L"u"))->GetValue()), L"we;ird='x y");
}

TEST_F(AdoServerTest, FunctionRowsReadByColumnNameWithNulls) {
    _CommandPtr cmd = procedure(connection, L"numbers");
    add(cmd, L"@upto", adInteger, adParamInput, 4, _variant_t(3L));
    _RecordsetPtr rs = cmd->Execute(nullptr, nullptr, adCmdStoredProc);
    ASSERT_EQ(rs->GetState(), adStateOpen);
    EXPECT_EQ(rs->GetBOF(), VARIANT_FALSE);
    std::vector<long> numbers;
    std::vector<bool> nulls;
    while (rs->GetEOF() == VARIANT_FALSE) {
        numbers.push_back(static_cast<long>(rs->GetFields()->GetItem(_variant_t(L"n"))->GetValue()));
        nulls.push_back(rs->GetCollect(_variant_t(L"label")).vt == VT_NULL);
        rs->MoveNext();
    }
    EXPECT_EQ(numbers, (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(nulls, (std::vector<bool>{true, false, true}));
    EXPECT_THROW(rs->MoveNext(), _com_error);
    EXPECT_THROW(rs->GetCollect(_variant_t(L"n")), _com_error); // no current row
    rs->MoveFirst();
    EXPECT_THROW(rs->GetCollect(_variant_t(L"N")), _com_error); // names are exact
    rs->Close();
    EXPECT_EQ(rs->GetState(), adStateClosed);
    EXPECT_THROW(rs->GetEOF(), _com_error);
}

TEST_F(AdoServerTest, AnEmptyResultIsAtItsStartAndEndAtOnce) {
    _RecordsetPtr rs = procedure(connection, L"no_rows")->Execute(nullptr, nullptr, adCmdStoredProc);
    EXPECT_EQ(rs->GetState(), adStateOpen);
    EXPECT_EQ(rs->GetBOF(), VARIANT_TRUE);
    EXPECT_EQ(rs->GetEOF(), VARIANT_TRUE);
}

TEST_F(AdoServerTest, EveryTypeTravelsToTheServerAndBack) {
    double when = 0;
    ADODB::textToOleDate("2014-10-03 14:05:09", when);
    _CommandPtr cmd = procedure(connection, L"echo_all");
    add(cmd, L"@b", adBoolean, adParamInput, 1, _variant_t(true));
    add(cmd, L"@ti", adTinyInt, adParamInput, 1, _variant_t(static_cast<BYTE>(200)));
    add(cmd, L"@i", adInteger, adParamInput, 4, _variant_t(-7L));
    _ParameterPtr n = cmd->CreateParameter(_bstr_t(L"@n"), adNumeric, adParamInput, 9, _variant_t(12.345678901));
    n->PutPrecision(18);
    n->PutNumericScale(4);
    cmd->GetParameters()->Append(n);
    add(cmd, L"@c", adChar, adParamInput, 11, _variant_t(L"64.04.00.01"));
    add(cmd, L"@v", adVarChar, adParamInput, 255, _variant_t(L"Ünïcode ½ €"));
    add(cmd, L"@d", adDBTimeStamp, adParamInput, 0, dateVariant(when));
    add(cmd, L"@f", adDouble, adParamInput, 8, _variant_t(0.1));
    _RecordsetPtr rs = cmd->Execute(nullptr, nullptr, adCmdStoredProc);
    ASSERT_EQ(rs->GetEOF(), VARIANT_FALSE);
    EXPECT_EQ(rs->GetCollect(_variant_t(L"rb")).vt, VT_BOOL);
    EXPECT_EQ(rs->GetCollect(_variant_t(L"rb")).boolVal, VARIANT_TRUE);
    EXPECT_EQ(static_cast<long>(rs->GetCollect(_variant_t(L"rti"))), 200);
    EXPECT_EQ(static_cast<long>(rs->GetCollect(_variant_t(L"ri"))), -7);
    EXPECT_DOUBLE_EQ(static_cast<double>(rs->GetCollect(_variant_t(L"rn"))), 12.3457); // rounded to the scale
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"rc"))), L"64.04.00.01");
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"rv"))), L"Ünïcode ½ €");
    _variant_t d = rs->GetCollect(_variant_t(L"rd"));
    ASSERT_EQ(d.vt, VT_DATE);
    EXPECT_NEAR(d.date, when, 1e-8);
    EXPECT_DOUBLE_EQ(static_cast<double>(rs->GetCollect(_variant_t(L"rf"))), 0.1);
}

TEST_F(AdoServerTest, NullTravelsForEveryType) {
    _CommandPtr cmd = procedure(connection, L"echo_all");
    _variant_t null;
    null.vt = VT_NULL;
    const std::pair<const wchar_t*, DataTypeEnum> params[] = {
        {L"@b", adBoolean}, {L"@ti", adTinyInt}, {L"@i", adInteger},     {L"@n", adNumeric},
        {L"@c", adChar},    {L"@v", adVarChar},  {L"@d", adDBTimeStamp}, {L"@f", adDouble}};
    for (auto [name, type] : params) add(cmd, name, type, adParamInput, 10, null);
    _RecordsetPtr rs = cmd->Execute(nullptr, nullptr, adCmdStoredProc);
    for (long c = 0; c < rs->GetFields()->GetCount(); ++c)
        EXPECT_EQ(rs->GetFields()->GetItem(_variant_t(c))->GetValue().vt, VT_NULL) << c;
}

TEST_F(AdoServerTest, InOutValuesComeBackInTheDeclaredTypes) {
    double when = 0;
    ADODB::textToOleDate("2001-02-03 04:05:06", when);
    _CommandPtr cmd = procedure(connection, L"echo_inout");
    add(cmd, L"@b", adBoolean, adParamInputOutput, 1, _variant_t(1L));
    add(cmd, L"@ti", adTinyInt, adParamInputOutput, 1, _variant_t(255L));
    add(cmd, L"@i", adInteger, adParamInputOutput, 4, _variant_t(L"42"));
    add(cmd, L"@n", adNumeric, adParamInputOutput, 9, _variant_t(2.5));
    add(cmd, L"@c", adChar, adParamInputOutput, 4, _variant_t(L"ab"));
    _variant_t null;
    null.vt = VT_NULL;
    add(cmd, L"@v", adVarChar, adParamInputOutput, 20, null);
    add(cmd, L"@d", adDBTimeStamp, adParamInputOutput, 0, dateVariant(when));
    _RecordsetPtr rs = cmd->Execute(nullptr, nullptr, adCmdStoredProc);
    EXPECT_EQ(rs->GetState(), adStateClosed); // a procedure gives no rows
    ParametersPtr ps = cmd->GetParameters();
    EXPECT_EQ(ps->GetItem(_variant_t(L"@b"))->GetValue().vt, VT_BOOL);
    EXPECT_EQ(ps->GetItem(_variant_t(L"@b"))->GetValue().boolVal, VARIANT_TRUE);
    EXPECT_EQ(ps->GetItem(_variant_t(L"@ti"))->GetValue().vt, VT_UI1);
    EXPECT_EQ(ps->GetItem(_variant_t(L"@ti"))->GetValue().bVal, 255);
    EXPECT_EQ(ps->GetItem(_variant_t(L"@i"))->GetValue().vt, VT_I4);
    EXPECT_EQ(ps->GetItem(_variant_t(L"@i"))->GetValue().lVal, 42);
    EXPECT_EQ(ps->GetItem(_variant_t(L"@n"))->GetValue().vt, VT_R8);
    EXPECT_DOUBLE_EQ(ps->GetItem(_variant_t(L"@n"))->GetValue().dblVal, 2.5);
    EXPECT_EQ(text(ps->GetItem(_variant_t(L"@C"))->GetValue()), L"ab"); // looked up without regard to case
    EXPECT_EQ(ps->GetItem(_variant_t(L"@v"))->GetValue().vt, VT_NULL);
    EXPECT_NEAR(ps->GetItem(_variant_t(L"@d"))->GetValue().date, when, 1e-8);
}

TEST_F(AdoServerTest, OutputParameterOfAProcedureIsFilled) {
    _CommandPtr cmd = procedure(connection, L"twice");
    add(cmd, L"@x", adInteger, adParamInput, 4, _variant_t(21L));
    add(cmd, L"@Doubled", adInteger, adParamOutput, 4, _variant_t(0, VT_INT));
    cmd->Execute(nullptr, nullptr, adCmdStoredProc);
    EXPECT_EQ(static_cast<long>(cmd->GetParameters()->GetItem(_variant_t(L"@Doubled"))->GetValue()), 42);
}

TEST_F(AdoServerTest, ValuesThatDoNotFitAreRefusedNamingTheParameter) {
    {
        _CommandPtr cmd = procedure(connection, L"add_note");
        add(cmd, L"@body", adVarChar, adParamInput, 5, _variant_t(L"too long"));
        const std::wstring m = failureOf([&] { cmd->Execute(nullptr, nullptr, adCmdStoredProc); });
        EXPECT_NE(m.find(L"@body"), std::wstring::npos) << m;
        EXPECT_NE(m.find(L"8 characters"), std::wstring::npos) << m;
    }
    {
        _CommandPtr cmd = procedure(connection, L"echo_all");
        add(cmd, L"@ti", adTinyInt, adParamInput, 1, _variant_t(256L));
        const std::wstring m = failureOf([&] { cmd->Execute(nullptr, nullptr, adCmdStoredProc); });
        EXPECT_NE(m.find(L"@ti"), std::wstring::npos) << m;
    }
    {
        _CommandPtr cmd = procedure(connection, L"twice");
        add(cmd, L"@y", adInteger, adParamInput, 4, _variant_t(1L));
        const std::wstring m = failureOf([&] { cmd->Execute(nullptr, nullptr, adCmdStoredProc); });
        EXPECT_NE(m.find(L"'@y'"), std::wstring::npos) << m;
    }
    EXPECT_EQ(pgQuery("adotest", "SELECT count(*) FROM notes WHERE body = 'too long'")[0][0], "0");
}

TEST_F(AdoServerTest, UnknownProcedureAndServerErrorsAreReported) {
    const std::wstring m =
        failureOf([&] { procedure(connection, L"nowhere")->Execute(nullptr, nullptr, adCmdStoredProc); });
    EXPECT_NE(m.find(L"nowhere"), std::wstring::npos);
    const std::wstring s = failureOf([&] { connection->Execute(_bstr_t(L"SELECT 1/0"), nullptr, adCmdText); });
    EXPECT_NE(s.find(L"division by zero"), std::wstring::npos) << s;
    EXPECT_EQ(connection->GetErrors()->GetCount(), 1);
}

TEST_F(AdoServerTest, SchemaQualifiedNamesAreQuoted) {
    _RecordsetPtr rs = procedure(connection, L"[Side]..[where]")->Execute(nullptr, nullptr, adCmdStoredProc);
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"s"))), L"side");
}

TEST_F(AdoServerTest, ASecondCommandRunsWhileARecordSetIsRead) {
    _CommandPtr outer = procedure(connection, L"numbers");
    add(outer, L"@upto", adInteger, adParamInput, 4, _variant_t(3L));
    _RecordsetPtr rs = outer->Execute(nullptr, nullptr, adCmdStoredProc);
    long total = 0;
    while (rs->GetEOF() == VARIANT_FALSE) {
        _CommandPtr inner = procedure(connection, L"twice");
        add(inner, L"@x", adInteger, adParamInput, 4, rs->GetCollect(_variant_t(L"n")));
        add(inner, L"@Doubled", adInteger, adParamOutput, 4, _variant_t());
        inner->Execute(nullptr, nullptr, adCmdStoredProc);
        total += static_cast<long>(inner->GetParameters()->GetItem(_variant_t(L"@Doubled"))->GetValue());
        rs->MoveNext();
    }
    EXPECT_EQ(total, 12);
}

TEST_F(AdoServerTest, CommandTimeoutStopsALongStatement) {
    _CommandPtr cmd = procedure(connection, L"sleepy");
    cmd->PutCommandTimeout(1);
    add(cmd, L"@seconds", adDouble, adParamInput, 8, _variant_t(5.0));
    const auto start = std::chrono::steady_clock::now();
    try {
        cmd->Execute(nullptr, nullptr, adCmdStoredProc);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), adErrQueryTimeout);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    cmd->PutCommandTimeout(0); // no limit
    cmd->GetParameters()->GetItem(_variant_t(L"@seconds"))->PutValue(_variant_t(0.01));
    EXPECT_NO_THROW(cmd->Execute(nullptr, nullptr, adCmdStoredProc));
}

TEST_F(AdoServerTest, RegisterProcedureHandsBackANewLocation) {
    _ConnectionPtr vxr = open(L"vxr");
    _CommandPtr cmd = procedure(vxr, L"__to_setRoomBlockInVXR");
    add(cmd, L"@locationID", adInteger, adParamInputOutput, 4, _variant_t(0L));
    add(cmd, L"@parentID", adInteger, adParamInput, 4, _variant_t(991L));
    add(cmd, L"@name", adVarChar, adParamInput, 255, _variant_t(L"Room 1"));
    add(cmd, L"@code", adVarChar, adParamInput, 255, _variant_t(L"R1"));
    add(cmd, L"@statusExists", adBoolean, adParamInput, 1, _variant_t(1L));
    add(cmd, L"@statusDuplicate", adBoolean, adParamInput, 1, _variant_t(0L));
    _ParameterPtr area = cmd->CreateParameter(_bstr_t(L"@area"), adNumeric, adParamInput, 9, _variant_t(12.5));
    area->PutPrecision(18);
    area->PutNumericScale(10);
    cmd->GetParameters()->Append(area);
    add(cmd, L"@handle", adVarChar, adParamInput, 255, _variant_t(L"1F"));
    add(cmd, L"@perimeter", adNumeric, adParamInput, 9, _variant_t(14.0));
    add(cmd, L"@precision", adInteger, adParamInput, 4, _variant_t(2L));
    cmd->Execute(nullptr, nullptr, adCmdStoredProc);
    const long id = static_cast<long>(cmd->GetParameters()->GetItem(_variant_t(L"@locationID"))->GetValue());
    EXPECT_GT(id, 0);

    _CommandPtr query = procedure(vxr, L"__to_getBlocksFromVXR");
    add(query, L"@parentID", adInteger, adParamInput, 4, _variant_t(991L));
    _RecordsetPtr rs = query->Execute(nullptr, nullptr, adCmdStoredProc);
    bool found = false;
    for (; rs->GetEOF() == VARIANT_FALSE; rs->MoveNext()) {
        if (static_cast<long>(rs->GetCollect(_variant_t(L"id"))) != id) continue;
        found = true;
        EXPECT_EQ(text(rs->GetCollect(_variant_t(L"status"))), L"00");
        EXPECT_EQ(text(rs->GetCollect(_variant_t(L"name"))), L"Room 1");
        EXPECT_DOUBLE_EQ(static_cast<double>(rs->GetCollect(_variant_t(L"area"))), 12.5);
    }
    EXPECT_TRUE(found);
}

TEST_F(AdoServerTest, AssetsAndTheirAttributesRoundTripThroughTheRegister) {
    const std::string drawing = std::to_string(100000 + ::getpid());
    pgQuery("vxr", "INSERT INTO asset_type VALUES ('DESK-EX', 'Desk', true) ON CONFLICT DO NOTHING");
    _ConnectionPtr vxr = open(L"vxr");
    const long drawingNumber = std::stol(drawing);

    _CommandPtr apply = procedure(vxr, L"__to_applyAssetToVXR");
    add(apply, L"@locationID", adInteger, adParamInput, 4, _variant_t(drawingNumber));
    add(apply, L"@drawingID", adInteger, adParamInput, 4, _variant_t(drawingNumber));
    add(apply, L"@handle", adVarChar, adParamInput, 255, _variant_t(L"2A"));
    add(apply, L"@acadBlockIdentifier", adVarChar, adParamInput, 100, _variant_t(L"DESK-EX"));
    add(apply, L"@acadBlockDescription", adVarChar, adParamInput, 255, _variant_t(L"a desk"));
    add(apply, L"@uniqueDescription", adVarChar, adParamInput, 255, _variant_t(L"Desk 7"));
    add(apply, L"@pointX", adNumeric, adParamInput, 9, _variant_t(1.5));
    add(apply, L"@pointY", adNumeric, adParamInput, 9, _variant_t(-2.25));
    add(apply, L"@assetExistsInLocation", adBoolean, adParamInput, 1, _variant_t(1L));
    add(apply, L"@excludedFromTakeoff", adBoolean, adParamOutput, 1, _variant_t());
    apply->Execute(nullptr, nullptr, adCmdStoredProc);
    EXPECT_EQ(apply->GetParameters()->GetItem(_variant_t(L"@excludedFromTakeoff"))->GetValue().boolVal, VARIANT_TRUE);

    _CommandPtr attribute = procedure(vxr, L"__to_applyAssetAttributeToVXR");
    add(attribute, L"@drawingID", adInteger, adParamInput, 4, _variant_t(drawingNumber));
    add(attribute, L"@handle", adVarChar, adParamInput, 255, _variant_t(L"2A"));
    add(attribute, L"@tag", adVarChar, adParamInput, 255, _variant_t(L"COLOUR"));
    add(attribute, L"@value", adVarChar, adParamInput, 255, _variant_t(L"oak"));
    add(attribute, L"@exists", adBoolean, adParamInput, 1, _variant_t(1L));
    attribute->Execute(nullptr, nullptr, adCmdStoredProc);

    _CommandPtr assets = procedure(vxr, L"[idr]..[getLocationAssets]");
    add(assets, L"@locationID", adInteger, adParamInput, 4, _variant_t(drawingNumber));
    _RecordsetPtr rs = assets->Execute(nullptr, nullptr, adCmdStoredProc);
    ASSERT_EQ(rs->GetEOF(), VARIANT_FALSE);
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"atDescription"))), L"Desk");
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"aDescription"))), L"Desk 7");
    EXPECT_DOUBLE_EQ(static_cast<double>(rs->GetCollect(_variant_t(L"aY"))), -2.25);
    EXPECT_EQ(text(rs->GetCollect(_variant_t(L"status"))), L"1");

    _CommandPtr attributes = procedure(vxr, L"[idr]..[getAssetAttributes]");
    add(attributes, L"@drawingID", adInteger, adParamInput, 4, rs->GetCollect(_variant_t(L"drawingID")));
    add(attributes, L"@handle", adVarChar, adParamInput, 50, rs->GetCollect(_variant_t(L"handle")));
    _RecordsetPtr values = attributes->Execute(nullptr, nullptr, adCmdStoredProc);
    ASSERT_EQ(values->GetEOF(), VARIANT_FALSE);
    EXPECT_EQ(text(values->GetCollect(_variant_t(L"aTag"))), L"COLOUR");
    EXPECT_EQ(text(values->GetCollect(_variant_t(L"aValue"))), L"oak");
}

namespace {

std::string noteCount(const std::string& body) {
    return pgQuery("adotest", "SELECT count(*) FROM notes WHERE body = '" + body + "'")[0][0];
}

void addNote(const _ConnectionPtr& c, const std::string& body) {
    _CommandPtr cmd = procedure(c, L"add_note");
    add(cmd, L"@body", adVarChar, adParamInput, 40, _variant_t(_bstr_t(body.c_str())));
    cmd->Execute(nullptr, nullptr, adCmdStoredProc);
}

HRESULT errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const _com_error& e) {
        return e.Error();
    }
    return S_OK;
}

} // namespace

TEST_F(AdoServerTest, TransactionsKeepOrUndoTheirWorkTogether) {
    const std::string kept = "kept " + std::to_string(::getpid()), undone = "undone " + std::to_string(::getpid());
    EXPECT_EQ(connection->BeginTrans(), 1);
    addNote(connection, undone);
    EXPECT_EQ(noteCount(undone), "0"); // not seen outside before the commit
    EXPECT_EQ(connection->RollbackTrans(), S_OK);
    EXPECT_EQ(noteCount(undone), "0");

    connection->BeginTrans();
    addNote(connection, kept);
    EXPECT_EQ(connection->CommitTrans(), S_OK);
    EXPECT_EQ(noteCount(kept), "1");
    addNote(connection, kept); // out of the transaction again: each statement stands on its own
    EXPECT_EQ(noteCount(kept), "2");

    EXPECT_EQ(errorOf([&] { connection->CommitTrans(); }), XACT_E_NOTRANSACTION);
    EXPECT_EQ(errorOf([&] { connection->RollbackTrans(); }), XACT_E_NOTRANSACTION);
    connection->BeginTrans();
    EXPECT_EQ(errorOf([&] { connection->BeginTrans(); }), XACT_E_XTIONEXISTS);
    EXPECT_TRUE(connection->inTransaction());
    connection->Close(); // the server drops the open transaction
    EXPECT_FALSE(connection->inTransaction());
    pgQuery("adotest", "DELETE FROM notes WHERE body = '" + kept + "'");
}

TEST_F(AdoServerTest, ACommitAfterAFailedStatementIsReportedAndUndone) {
    const std::string body = "lost " + std::to_string(::getpid());
    connection->BeginTrans();
    addNote(connection, body);
    failureOf([&] { connection->Execute(_bstr_t(L"SELECT 1/0"), nullptr, adCmdText); });
    // The server answers the commit by rolling back: that is no success.
    const std::wstring m = failureOf([&] { connection->CommitTrans(); });
    EXPECT_NE(m.find(L"rolled back"), std::wstring::npos) << m;
    EXPECT_EQ(noteCount(body), "0");
    EXPECT_FALSE(connection->inTransaction());
    EXPECT_NO_THROW(connection->Execute(_bstr_t(L"SELECT 1"), nullptr, adCmdText));
}

TEST_F(AdoServerTest, CommandTimeoutHoldsAfterARollback) {
    // The timeout set inside a transaction is undone with it; the next command must set it again.
    connection->BeginTrans();
    _CommandPtr quick = procedure(connection, L"sleepy");
    quick->PutCommandTimeout(1);
    add(quick, L"@seconds", adDouble, adParamInput, 8, _variant_t(0.01));
    quick->Execute(nullptr, nullptr, adCmdStoredProc);
    connection->RollbackTrans();

    _CommandPtr slow = procedure(connection, L"sleepy");
    slow->PutCommandTimeout(1);
    add(slow, L"@seconds", adDouble, adParamInput, 8, _variant_t(5.0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { slow->Execute(nullptr, nullptr, adCmdStoredProc); }), adErrQueryTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(AdoServerTest, ACommandOnASessionTheServerEndedFailsForTheConnectionAndTheNextOneReconnects) {
    _CommandPtr quick = procedure(connection, L"sleepy");
    quick->PutCommandTimeout(1);
    add(quick, L"@seconds", adDouble, adParamInput, 8, _variant_t(0.01));
    quick->Execute(nullptr, nullptr, adCmdStoredProc);
    _CommandPtr self;
    self.CreateInstance(L"ADODB.Command");
    self->PutRefActiveConnection(connection);
    self->PutCommandText(_bstr_t(L"SELECT pg_backend_pid()"));
    const std::string pid =
        std::to_string(static_cast<long>(self->Execute(nullptr, nullptr, adCmdText)->GetCollect(0L)));
    pgQuery("postgres", "SELECT pg_terminate_backend(" + pid + ")");

    EXPECT_NE(errorOf([&] { quick->Execute(nullptr, nullptr, adCmdStoredProc); }), S_OK);
    ASSERT_EQ(connection->GetErrors()->GetCount(), 1);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(connection->GetErrors()->GetItem(0L)->GetSQLState())), L"08006");
    // A new session, with the command's timeout set on it again.
    _CommandPtr slow = procedure(connection, L"sleepy");
    slow->PutCommandTimeout(1);
    add(slow, L"@seconds", adDouble, adParamInput, 8, _variant_t(5.0));
    EXPECT_EQ(errorOf([&] { slow->Execute(nullptr, nullptr, adCmdStoredProc); }), adErrQueryTimeout);
}

TEST_F(AdoServerTest, TextThatIsNotUtf8InAnSqlAsciiDatabaseFailsTheReadingOfThatValueAlone) {
    pgQuery("postgres", "DROP DATABASE IF EXISTS adoascii WITH (FORCE)");
    pgQuery("postgres", "CREATE DATABASE adoascii ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0");
    pgQuery("adoascii",
            "CREATE TABLE t (id integer, name varchar, note char(4));"
            "INSERT INTO t VALUES (1, E'Caf\\xE9', 'ok'), (2, E'r\\xC3\\xA9sum\\xC3\\xA9', E'\\xFC'),"
            " (3, E'\\xED\\xA0\\xBD', 'ok');"
            "CREATE FUNCTION rows() RETURNS SETOF t LANGUAGE sql AS 'SELECT * FROM t ORDER BY id'");
    {
        _ConnectionPtr c = open(L"adoascii");
        _RecordsetPtr rs = procedure(c, L"rows")->Execute(nullptr, nullptr, adCmdStoredProc);
        const struct {
            long id;
            const wchar_t* name; // null: not UTF-8
            const wchar_t* note;
            const wchar_t* why; // of the value that is not
        } rows[] = {
            {1, nullptr, L"ok  ", L"The text in column name is not UTF-8: \"Caf\\xE9\""},
            {2, L"r\u00E9sum\u00E9", nullptr, L"The text in column note is not UTF-8: \"\\xFC   \""},
            // A surrogate's bytes are no UTF-8 either.
            {3, nullptr, L"ok  ", L"The text in column name is not UTF-8: \"\\xED\\xA0\\xBD\""},
        };
        for (const auto& row : rows) {
            ASSERT_EQ(rs->GetEOF(), VARIANT_FALSE);
            EXPECT_EQ(static_cast<long>(rs->GetCollect(_variant_t(L"id"))), row.id);
            for (const auto& [column, value] : {std::pair{L"name", row.name}, std::pair{L"note", row.note}}) {
                if (value) {
                    EXPECT_EQ(text(rs->GetFields()->GetItem(_variant_t(column))->GetValue()), value);
                    continue;
                }
                EXPECT_EQ(failureOf([&] { rs->GetCollect(_variant_t(column)); }), row.why);
                EXPECT_EQ(failureOf([&] { rs->GetFields()->GetItem(_variant_t(column))->GetValue(); }), row.why);
            }
            rs->MoveNext();
        }
        EXPECT_EQ(rs->GetEOF(), VARIANT_TRUE);
        // Text sent goes in as UTF-8 and comes back the same.
        _RecordsetPtr echo = c->Execute(_bstr_t(L"SELECT '\u00E9\U0001F600'::varchar AS v"), nullptr, 0);
        EXPECT_EQ(text(echo->GetCollect(_variant_t(L"v"))), L"\u00E9\U0001F600");
    }
    pgQuery("postgres", "DROP DATABASE adoascii WITH (FORCE)");
}
