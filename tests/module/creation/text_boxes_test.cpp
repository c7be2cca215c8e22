// The block creator's text size, scale and rotation boxes through cadhost: a value typed is read whole
// and taken within the block editor's limits, or the space is refused with the editor's message, the
// line fails, and the same pick with the value retyped makes it.
#include "CreationHost.h"

namespace creationtest {
namespace {

constexpr const char* kSize = "Text Size: please enter a number above 0 and no more than 1000000.";
constexpr const char* kScale = "Text Scale: please enter a number between 0.01 and 100.";
constexpr const char* kRotation = "Text Rotation: please enter a number between -360 and 360.";
constexpr const char* kNoNumber = "Please enter a number.";

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(CreationHost, ATextBoxIsReadWholeAndTakenWithinTheBlockEditorsLimitsOrTheSpaceIsRefusedWithItsMessage) {
    const struct {
        const char* box;
        const char* typed;
        const char* label;   // the NAME label's size, width and turn when taken
        const char* stored;  // the preferences' line when taken
        const char* refusal; // the message when refused
    } rows[] = {
        {"291", "1e3", "h1000.0 w1.00 r0", "textSize\r\n1000.00\r\n", nullptr},
        {"291", "1.0E+03", "h1000.0 w1.00 r0", "textSize\r\n1000.00\r\n", nullptr},
        {"291", " 300 ", "h300.0 w1.00 r0", "textSize\r\n300.00\r\n", nullptr},
        {"291", "-1", nullptr, nullptr, kSize},
        {"291", "0", nullptr, nullptr, kSize},
        {"291", "99999999999999999999", nullptr, nullptr, kSize},
        {"291", "1000001", nullptr, nullptr, kSize},
        {"291", "1e3x", nullptr, nullptr, kNoNumber},
        {"291", "1,250", nullptr, nullptr, kNoNumber},
        {"291", "0x10", nullptr, nullptr, kNoNumber},
        {"341", "2.5E-1", "h250.0 w0.25 r0", "textScale\r\n0.25\r\n", nullptr},
        {"341", "1e-3", nullptr, nullptr, kScale},
        {"341", "-1", nullptr, nullptr, kScale},
        {"341", "1e3", nullptr, nullptr, kScale},
        {"342", "1.5e1", "h250.0 w1.00 r15", "textRotation\r\n15.00\r\n", nullptr},
        {"342", "400", nullptr, nullptr, kRotation},
        {"342", "-361", nullptr, nullptr, kRotation},
        {"342", "15deg", nullptr, nullptr, kNoNumber},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.box) + " \"" + row.typed + "\"");
        std::ofstream(dir / "c/CadHost/kelmo/prefs/prefs.cfg", std::ios::binary) << kelmo_test::defaultPrefsFile;
        const std::string typed = std::string("dlg set ") + row.box + " \"" + row.typed + "\"\n";
        if (!row.refusal) {
            Outcome r = run("floor_world.dxf",
                            "mbc\n" + typed + "dlg click 3\n#31\n2000,1500\n\nSAVEAS out.dxf\ndlg click 2\n");
            EXPECT_EQ(r.status, 0) << r.err << r.out;
            // The NAME label, then the AUX label.
            EXPECT_TRUE(has(dump("out.dxf"), std::string(" ") + row.label + "|AUX= @")) << dump("out.dxf");
            EXPECT_TRUE(has(slurp(dir / "c/CadHost/kelmo/prefs/prefs.cfg"), row.stored));
            continue;
        }
        // Typed while the pick waits: refused at the pick, then the same polyline with a value the labels
        // take makes the space.
        const std::string good = std::string(row.box) == "291" ? "300" : std::string(row.box) == "341" ? "0.5" : "30";
        Outcome r = run("floor_world.dxf", "mbc\ndlg click 3\n" + typed + "#31\nok\n" + "dlg set " + row.box + " " +
                                               good + "\n#31\n2000,1500\n\nSAVEAS out.dxf\ndlg click 2\n");
        EXPECT_EQ(r.status, 1) << r.err << r.out;
        EXPECT_EQ(count(r.out, std::string("] ") + row.refusal + "\n"), 1u) << r.out;
        EXPECT_TRUE(has(r.err, std::string("the dialog refused the value: ") + row.refusal)) << r.err;
        EXPECT_EQ(count(r.out, "Block Created Successfully"), 1u) << r.out;
        const std::string saved = dump("out.dxf");
        EXPECT_EQ(count(saved, "|ROOM-1|@"), 1u) << saved;
        EXPECT_EQ(count(saved, "|ROOM-2|@"), 0u) << saved;
        // What was refused never reached the preferences.
        EXPECT_EQ(
            slurp(dir / "c/CadHost/kelmo/prefs/prefs.cfg").find(std::string("\r\n") + row.typed + "\r\n" + "textS"),
            std::string::npos);
    }
    // Typed before the session: Start refuses it and no session begins until it is put right.
    std::ofstream(dir / "c/CadHost/kelmo/prefs/prefs.cfg", std::ios::binary) << kelmo_test::defaultPrefsFile;
    Outcome r = run("floor_world.dxf",
                    "mbc\ndlg set 291 -1\ndlg click 3\nok\ndlg set 291 300\ndlg click 3\n#31\n"
                    "2000,1500\n\nSAVEAS out.dxf\ndlg click 2\n");
    EXPECT_EQ(r.status, 1) << r.err << r.out;
    EXPECT_EQ(count(r.out, std::string("] ") + kSize + "\n"), 1u) << r.out;
    EXPECT_EQ(count(r.out, "Block Creation Session Started"), 1u) << r.out;
    EXPECT_TRUE(has(dump("out.dxf"), "|NAME=Room 1@2000,1050 h300.0 w1.00 r0|")) << dump("out.dxf");
}

} // namespace
} // namespace creationtest
