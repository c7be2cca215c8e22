// Layers and layouts in the register, against the private test server.
#include <unistd.h>

#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "database/StoredProcedure.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "drawing/Layout.h"
#include "drawing/Layouts.h"
#include "support/AdoServer.h"
#include "module/database/ServerLogin.h"

using kelmo::test::pgQuery;
using kelmo::test::pgServer;

namespace {

using serverlogin::password;
using serverlogin::server;
using serverlogin::user;

// Attach ids of this process, so that parallel runs keep to their own rows.
int attachId(int n) {
    return 700000 + (::getpid() % 10000) * 10 + n;
}

std::string count(const std::string& table, int attach) {
    return pgQuery("vxr", "SELECT count(*) FROM " + table + " WHERE attach_id = " + std::to_string(attach))[0][0];
}

// A procedure object whose connection is gone.
struct Disconnected : CStoredProcedure {
    Disconnected() : CStoredProcedure(server(), L"vxr", user(), password(), 10) {
        connection->Close();
        connected = 0;
    }
};

class Register : public ::testing::Test {
protected:
    void SetUp() override {
        KELMO_REQUIRE_PG();
        procedure = std::make_unique<CStoredProcedure>(server(), L"vxr", user(), password(), 10);
    }
    std::unique_ptr<CStoredProcedure> procedure;
};

CLayer* layer(const wchar_t* name, int colour, const wchar_t* description = L"") {
    auto* l = new CLayer();
    l->setName(name);
    l->setColourIndex(colour);
    l->setDescription(description);
    return l;
}

TEST_F(Register, LayersAreAddedWithTheirColour) {
    int attach = attachId(1);
    pgQuery("vxr", "DELETE FROM drawing_layer WHERE attach_id = " + std::to_string(attach));
    CLayers layers;
    layers.add(layer(L"WALLS", 1, L"not sent"));
    layers.add(layer(L"DOORS", 250));
    EXPECT_EQ(layers.addLayersToVXR(procedure.get(), 10, attach), 1);
    auto rows = pgQuery("vxr", "SELECT name, description, colour FROM drawing_layer WHERE attach_id = " +
                                   std::to_string(attach) + " ORDER BY id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "WALLS");
    EXPECT_EQ(rows[0][1], "");
    EXPECT_EQ(rows[0][2], "1");
    EXPECT_EQ(rows[1][0], "DOORS");
    EXPECT_EQ(rows[1][2], "250");
    EXPECT_EQ(procedure->getParameters(), nullptr);
}

TEST_F(Register, ReportLayersAreReadOnceEach) {
    auto id = pgQuery("vxr", "INSERT INTO graphic_report (title) VALUES ('drawing layers test') RETURNING id")[0][0];
    pgQuery("vxr", "INSERT INTO report_layer_on (report_id, name, description) VALUES (" + id +
                       ", 'Walls<1>', 'outer'), (" + id + ", NULL, NULL), (" + id + ", 'Walls<1>', 'again'), (" + id +
                       ", 'Doors', NULL)");
    CLayers layers;
    layers.getGraphicReportLayersOn(procedure.get(), std::stoi(id), 10);
    ASSERT_EQ(layers.getCount(), 3);
    EXPECT_EQ(layers.getAt(0)->getName(), L"Walls1");
    EXPECT_EQ(layers.getAt(0)->getDescription(), L"outer");
    EXPECT_EQ(layers.getAt(1)->getName(), L"");
    EXPECT_EQ(layers.getAt(1)->getModified(), 0);
    EXPECT_EQ(layers.getAt(2)->getName(), L"Doors");
    EXPECT_EQ(layers.getAt(2)->getModified(), 1);

    CLayers none;
    none.getGraphicReportLayersOn(procedure.get(), -1, 10);
    EXPECT_EQ(none.getCount(), 0);
    pgQuery("vxr", "DELETE FROM graphic_report WHERE id = " + id);
}

TEST_F(Register, LayoutsReplaceTheDrawingsRows) {
    int attach = attachId(2);
    CLayouts first;
    for (const wchar_t* name : {L"Model", L"Layout1", L"Old"}) {
        auto* l = new CLayout();
        l->setName(name);
        first.add(l);
    }
    EXPECT_EQ(first.addLayoutsToVXR(procedure.get(), 10, attach), 1);
    EXPECT_EQ(count("drawing_layout", attach), "3");

    CLayouts second;
    auto* model = new CLayout();
    model->setName(L"Model");
    second.add(model);
    second.addLayoutsToVXR(procedure.get(), 10, attach);
    auto rows = pgQuery("vxr", "SELECT name FROM drawing_layout WHERE attach_id = " + std::to_string(attach));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Model");

    CLayouts empty;
    empty.addLayoutsToVXR(procedure.get(), 10, attach);
    EXPECT_EQ(count("drawing_layout", attach), "0");
}

TEST_F(Register, AFailingLayoutAddLeavesTheOldRowsInPlace) {
    int attach = attachId(4);
    CLayouts first;
    for (const wchar_t* name : {L"Model", L"Layout1"}) {
        auto* l = new CLayout();
        l->setName(name);
        first.add(l);
    }
    first.addLayoutsToVXR(procedure.get(), 10, attach);

    // The second list's last name does not fit the register's column: the delete that ran
    // before it is undone with it.
    CLayouts second;
    auto* model = new CLayout();
    model->setName(L"Model");
    second.add(model);
    auto* tooLong = new CLayout();
    tooLong->setName(CString(L'x', 300));
    second.add(tooLong);
    bool thrown = false;
    drawingtest::innermostDescription([&] { second.addLayoutsToVXR(procedure.get(), 10, attach); }, &thrown);
    EXPECT_TRUE(thrown);
    auto rows =
        pgQuery("vxr", "SELECT name FROM drawing_layout WHERE attach_id = " + std::to_string(attach) + " ORDER BY id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "Layout1");

    // The same procedure object goes on working, outside any transaction.
    CLayouts third;
    auto* only = new CLayout();
    only->setName(L"Model");
    third.add(only);
    EXPECT_EQ(third.addLayoutsToVXR(procedure.get(), 10, attach), 1);
    EXPECT_EQ(count("drawing_layout", attach), "1");
    third.deleteDrawingLayouts(procedure.get(), 10, attach);
    EXPECT_EQ(count("drawing_layout", attach), "0");
}

// The class of the innermost exception the call threw; the chain is deleted.
template <class F>
bool failsForConnection(F&& call) {
    try {
        call();
    } catch (CEXKelmo* chain) {
        CEXKelmo* inner = chain;
        while (inner->getInnerException()) inner = inner->getInnerException();
        bool connection = dynamic_cast<CEXConnection*>(inner) != nullptr;
        chain->deleteException();
        return connection;
    }
    return false;
}

TEST_F(Register, NoConnectionIsAFailureNotASuccess) {
    int attach = attachId(3);
    Disconnected lost;
    CLayers layers;
    layers.add(layer(L"WALLS", 1));
    EXPECT_TRUE(failsForConnection([&] { layers.addLayersToVXR(&lost, 10, attach); }));
    CLayouts layouts;
    EXPECT_TRUE(failsForConnection([&] { layouts.addLayoutsToVXR(&lost, 10, attach); }));
    EXPECT_TRUE(failsForConnection([&] { layers.getGraphicReportLayersOn(&lost, 1, 10); }));
    EXPECT_EQ(count("drawing_layer", attach), "0");
}

} // namespace
