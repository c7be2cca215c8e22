// "mbc" through cadhost on a floor as a minimal writer leaves it: no header, no tables, and no subclass
// markers in its records.
#include "CreationHost.h"

namespace creationtest {
namespace {

// A closed polyline of 4 x 3 m (handle 2F) and a wall beside it, each record without markers.
const char* const kNoMarkers =
    "  0\nSECTION\n  2\nENTITIES\n"
    "  0\nLWPOLYLINE\n  5\n2F\n  8\nWALLS\n 90\n4\n 70\n1\n 10\n0\n 20\n0\n 10\n4000\n 20\n0\n"
    " 10\n4000\n 20\n3000\n 10\n0\n 20\n3000\n"
    "  0\nLINE\n  5\n30\n  8\nWALLS\n 10\n0\n 20\n4000\n 30\n0\n 11\n4000\n 21\n4000\n 31\n0\n"
    "  0\nENDSEC\n  0\nEOF\n";

TEST_F(CreationHost, APolylineWrittenWithoutSubclassMarkersIsPickedAsARoomBoundary) {
    std::ofstream(floors / "no_markers.dxf", std::ios::binary) << kNoMarkers;
    Outcome r = run("no_markers.dxf", "mbc\ndlg click 3\n#2F\n2000,1500\n\nSAVEAS out.dxf\ndlg click 2\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r.out, "Block Created Successfully\n")) << r.out;
    const std::string saved = dump("out.dxf");
    EXPECT_TRUE(has(saved, "BOUNDARY|ROOM-1|0,0 0,3000 4000,0 4000,3000\n")) << saved;
}

} // namespace
} // namespace creationtest
