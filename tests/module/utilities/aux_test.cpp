// "maux" on rooms whose labels need stacking and whose AUX label is missing or mistagged.
#include <gmock/gmock.h>

#include "UtilitiesHost.h"

namespace utilities {
namespace {

using ::testing::ElementsAre;

TEST_F(Utilities, AuxRepairStacksTheLabelsAroundAreaAndAddsTheMissingAux) {
    Outcome r = run("aux.dxf", "maux\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "Command: maux\n\nCommand: SAVEAS")) << r.out;
    const Drawing plan = dump("saved.dxf");

    // AREA 250 high at (1000, 2000): NAME and AUX one and a half heights above and below it.
    EXPECT_THAT(plan.labels("ROOM-201"), ElementsAre("NAME=Office@1000.0,2375.0 h250.0 w1.00 r0.0 0",
                                                     "AREA=20.00sq.m.@1000.0,2000.0 h250.0 w1.00 r0.0 0",
                                                     "AUX=note@1000.0,1625.0 h250.0 w1.00 r0.0 0"));
    EXPECT_EQ(plan.definition("ROOM-201", "NAME"), "||0|@1000.0,2375.0 h250.0 r0.0");
    EXPECT_EQ(plan.definition("ROOM-201", "AUX"), "||0|@1000.0,1625.0 h250.0 r0.0");

    // AREA turned by 90 degrees, 100 high: square to the text is along x. The missing AUX is added
    // to the definition with its prompt and default, and to the insert holding one blank.
    EXPECT_THAT(plan.labels("ROOM-202"), ElementsAre("NAME=Lab@4850.0,0.0 h100.0 w1.00 r90.0 0",
                                                     "AREA=16.00sq.m.@5000.0,0.0 h100.0 w1.00 r90.0 0",
                                                     "AUX= @5150.0,0.0 h100.0 w1.00 r90.0 ATT-AUX"));
    EXPECT_EQ(plan.definition("ROOM-202", "NAME"), "||0|@-150.0,0.0 h100.0 r90.0");
    EXPECT_EQ(plan.definition("ROOM-202", "AUX"), "Enter Auxillary|default aux|ATT-AUX|@150.0,0.0 h100.0 r90.0");

    // "aux" is no AUX: a second label is added beside it.
    EXPECT_THAT(
        plan.labels("ROOM-203"),
        ElementsAre("NAME=Store@10500.0,800.0 h200.0 w1.00 r0.0 0", "AREA=4.00sq.m.@10500.0,500.0 h200.0 w1.00 r0.0 0",
                    "aux=lower@10500.0,100.0 h200.0 w1.00 r0.0 0", "AUX= @10500.0,200.0 h200.0 w1.00 r0.0 ATT-AUX"));
    EXPECT_EQ(plan.definition("ROOM-203", "AUX"), "Enter Auxillary|default aux|ATT-AUX|@500.0,200.0 h200.0 r0.0");

    // The label layers are switched on whatever their letter case; other layers stay as they were.
    EXPECT_EQ(plan.layer("att-name"), "on|thawed|unlocked");
    EXPECT_EQ(plan.layer("ATT-AREA"), "on|thawed|unlocked");
    EXPECT_EQ(plan.layer("ATT-AUX"), "on|thawed|unlocked");
    EXPECT_EQ(plan.layer("WALLS"), "off|thawed|unlocked");
}

TEST_F(Utilities, AuxRepairLeavesASpaceWithoutAreaAsItWasAndPlacesTheLastOfTwoNameLabels) {
    Outcome r = run("aux.dxf", "maux\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const Drawing plan = dump("saved.dxf");
    // Nothing to stack on: no AUX is made up and NAME stays put.
    EXPECT_THAT(plan.labels("ROOM-204"), ElementsAre("NAME=Void@15500.0,500.0 h200.0 w1.00 r0.0 0"));
    EXPECT_EQ(plan.find("BLOCK", "ROOM-204")[2], "LWPOLYLINE ATTDEF");
    EXPECT_EQ(plan.definition("ROOM-204", "NAME"), "||0|@500.0,500.0 h200.0 r0.0");
    // The second NAME takes the first one's place; the first is left where it was.
    EXPECT_THAT(
        plan.labels("ROOM-205"),
        ElementsAre("NAME=First@20500.0,1500.0 h200.0 w1.00 r0.0 0", "NAME=Second@20500.0,800.0 h200.0 w1.00 r0.0 0",
                    "AREA=4.00sq.m.@20500.0,500.0 h200.0 w1.00 r0.0 0", "AUX=x@20500.0,200.0 h200.0 w1.00 r0.0 0"));
}

} // namespace
} // namespace utilities
