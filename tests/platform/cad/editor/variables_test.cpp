#include "cad/editor/EdVariables.h"
#include "support/HostFixture.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

using kelmo_test::HostFixture;

namespace {

TEST_F(HostFixture, VariablesTheModuleReadsAndSets) {
    resbuf rb;
    ASSERT_EQ(acedGetVar(L"sortents", &rb), RTNORM);
    EXPECT_EQ(rb.restype, RTSHORT);
    EXPECT_EQ(rb.resval.rint, 127);
    ASSERT_EQ(acedGetVar(L"LUNITS", &rb), RTNORM);
    EXPECT_EQ(rb.resval.rint, 2);
    ASSERT_EQ(acedGetVar(L"CLAYER", &rb), RTNORM);
    EXPECT_EQ(rb.restype, RTSTR);
    EXPECT_STREQ(rb.resval.rstring, L"0");
    acutDelString(rb.resval.rstring);

    resbuf v;
    v.rbnext = nullptr;
    v.restype = RTSHORT;
    v.resval.rint = 0;
    EXPECT_EQ(acedSetVar(L"FILEDIA", &v), RTNORM);
    ASSERT_EQ(acedGetVar(L"FILEDIA", &rb), RTNORM);
    EXPECT_EQ(rb.resval.rint, 0);
    v.resval.rint = 1;
    EXPECT_EQ(acedSetVar(L"FILEDIA", &v), RTNORM);
    v.resval.rint = 3;
    EXPECT_EQ(acedSetVar(L"SORTENTS", &v), RTNORM);
    ASSERT_EQ(acedGetVar(L"SORTENTS", &rb), RTNORM);
    EXPECT_EQ(rb.resval.rint, 3);

    host->addLayer(L"ATT-NAME");
    resbuf layer;
    layer.rbnext = nullptr;
    layer.restype = RTSTR;
    layer.resval.rstring = const_cast<ACHAR*>(L"ATT-NAME");
    EXPECT_EQ(acedSetVar(L"CLAYER", &layer), RTNORM);
    EXPECT_EQ(db()->clayer(), db()->layerId(L"ATT-NAME"));
    layer.resval.rstring = const_cast<ACHAR*>(L"NO-SUCH-LAYER");
    EXPECT_EQ(acedSetVar(L"CLAYER", &layer), RTERROR);
    EXPECT_EQ(acedSetVar(L"FILEDIA", &layer), RTERROR); // wrong type
    EXPECT_EQ(acedSetVar(L"PRODUCT", &layer), RTREJ);
    EXPECT_EQ(acedGetVar(L"NOSUCHVAR", &rb), RTERROR);
    ASSERT_EQ(acedGetVar(L"PRODUCT", &rb), RTNORM);
    EXPECT_STREQ(rb.resval.rstring, L"AutoCAD 2015");
    acutDelString(rb.resval.rstring);
}

TEST_F(HostFixture, HostCommandsFromCodeAndColours) {
    host->addRectangle(0, 0, 10, 10);
    EXPECT_EQ(acedCommandS(RTNONE), RTNORM);
    EXPECT_EQ(acedCommand(RTNONE), RTNORM);
    std::wstring file = win::nativeToWindows((host->tempDir() / "export.png").string());
    EXPECT_EQ(acedCommandS(RTSTR, L"_EXPORT", RTSTR, file.c_str(), RTNONE), RTNORM);
    EXPECT_TRUE(std::filesystem::exists(host->tempDir() / "export.png"));
    EXPECT_EQ(acedCommandS(RTSTR, L"_ERASE", RTNONE), RTERROR);
    EXPECT_NE(host->commandLine().find(L"Unknown command \"ERASE\""), std::wstring::npos);
    AcColorSettings c;
    ASSERT_TRUE(acedGetCurrentColors(&c));
    EXPECT_EQ(c.dwGfxModelBkColor, 0u);
}

} // namespace
