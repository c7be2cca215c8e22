// The values of the preferences file read whole: each is what it means, or the default with a line naming
// the file, the key and the value; and the preferences dialog takes a label's size and rotation only as the
// block editor does. Through cadhost, on ezdxf plans read back by ezdxf.
#include <algorithm>

#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

const std::string prefsFile = "C:\\CadHost\\kelmo\\prefs\\prefs.cfg";

// The line naming a stored value that cannot be used, and the default used instead.
std::string unread(const std::string& key, const std::string& value, const std::string& wanted,
                   const std::string& used) {
    return "The preferences file " + prefsFile + ": " + key + " \"" + value + "\" is not " + wanted + " - " + used +
           " is used.\n";
}

const std::string textSize = "a text size above 0";
const std::string precision = "a precision from 0 to 9";

// The box of the dialog as it first shows, in the dialog dump's words.
std::string box(const std::string& id, const std::string& text) {
    return "  " + id + " edit \"" + text + "\" enabled visible";
}

TEST_F(SpaceCommands, StoredPreferencesAreReadWholeOrTheDefaultIsShownWithALineNamingThem) {
    struct Case {
        std::map<std::string, std::string> prefs;
        std::string shown; // in the dialog as it opens
        std::string said;  // empty: no line
    };
    const Case cases[] = {
        // Thousands or a decimal comma where only one reading is possible.
        {{{"textSize", "1,250.00"}}, box("291", "1250"), ""},
        {{{"textSize", "1.250,5"}}, box("291", "1250.5"), ""},
        {{{"zoomBorder", "2,500.00"}}, box("292", "2500"), ""},
        {{{"textScale", "1,5"}}, box("341", "1.5"), ""},
        {{{"precison", "+3"}}, box("290", "3"), ""},
        {{{"units", "+1"}}, "  289 radio \"ft\" enabled visible checked", ""},
        // A rotation is the angle it turns to.
        {{{"textRotation", "400"}}, box("342", "40"), ""},
        {{{"textRotation", "361"}}, box("342", "1"), ""},
        {{{"textRotation", "-200"}}, box("342", "160"), ""},
        {{{"textRotation", "200"}}, box("342", "-160"), ""},
        {{{"textRotation", "-180"}}, box("342", "-180"), ""},
        // No number, or one that could be read two ways.
        {{{"textSize", "1,250"}}, box("291", "250"), unread("textSize", "1,250", textSize, "250")},
        {{{"textSize", "2,500"}}, box("291", "250"), unread("textSize", "2,500", textSize, "250")},
        {{{"textSize", "12,345"}}, box("291", "250"), unread("textSize", "12,345", textSize, "250")},
        {{{"textSize", "NaN"}}, box("291", "250"), unread("textSize", "NaN", textSize, "250")},
        {{{"textSize", ""}}, box("291", "250"), unread("textSize", "", textSize, "250")},
        {{{"textSize", "\xef\xbc\x92\xef\xbc\x95\xef\xbc\x90"}},
         box("291", "250"),
         unread("textSize", "\xef\xbc\x92\xef\xbc\x95\xef\xbc\x90", textSize, "250")},
        {{{"textSize", "0,123,456"}}, box("291", "250"), unread("textSize", "0,123,456", textSize, "250")},
        {{{"textSize", "1e-400"}}, box("291", "250"), unread("textSize", "1e-400", textSize, "250")},
        // Beyond what a label takes, kept as written: the command that cannot use it says so.
        {{{"textSize", "5000000"}}, box("291", "5000000"), ""},
        {{{"textSize", "-5"}}, box("291", "250"), unread("textSize", "-5", textSize, "250")},
        {{{"precison", ""}}, box("290", "2"), unread("precison", "", precision, "2")},
        {{{"precison", "1e1"}}, box("290", "2"), unread("precison", "1e1", precision, "2")},
        {{{"precison", "2.5"}}, box("290", "2"), unread("precison", "2.5", precision, "2")},
        {{{"precison", "1.000.000e-6"}}, box("290", "2"), unread("precison", "1.000.000e-6", precision, "2")},
        {{{"units", "2"}},
         "  288 radio \"m\" enabled visible focus checked",
         unread("units", "2", "units 0 or 1", "0")},
        {{{"textScale", "NaN"}}, box("341", "1"), unread("textScale", "NaN", "a text scale above 0", "1")},
        {{{"textRotation", "abc"}}, box("342", "0"), unread("textRotation", "abc", "an angle", "0")},
        {{{"zoomBorder", "2,500"}},
         box("292", "1000"),
         unread("zoomBorder", "2,500", "a zoom border from 0 to 10000", "1000")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefs.begin()->first + " " + c.prefs.begin()->second);
        writePrefs(c.prefs);
        Outcome r = run("plan_mm.dxf", "mprefs\ndlg esc\nmprefs\ndlg esc\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const size_t dialog = r.out.find("dialog 216 ");
        ASSERT_NE(dialog, std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.shown, dialog), std::string::npos) << r.out;
        if (c.said.empty()) {
            EXPECT_EQ(r.out.find("The preferences file "), std::string::npos) << r.out;
        } else {
            // Said before the dialog, once a session; a value beyond ASCII as the file's code page reads it.
            const bool ascii = std::all_of(c.said.begin(), c.said.end(), [](char k) { return k > 0; });
            const std::string line = ascii ? c.said : c.said.substr(0, c.said.find('"') + 1);
            EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
            EXPECT_LT(r.out.find(line), dialog);
            EXPECT_EQ(count(r.out, line), 1u) << r.out;
            if (!ascii) {
                EXPECT_NE(r.out.find(c.said.substr(c.said.rfind('"')), r.out.find(line)), std::string::npos);
            }
        }
    }
}

TEST_F(SpaceCommands, LabelsTakeTheStoredSizeAndRotationAsMeantOrTheDefaultSize) {
    const struct {
        std::map<std::string, std::string> prefs;
        std::string answers; // size, scale, rotation
        std::string placement;
    } cases[] = {
        {{{"textSize", "1,250"}}, "\ni\ni\n", " h250.0 w1.00 r0.0"},
        {{{"textSize", "1,250.00"}}, "\ni\ni\n", " h1250.0 w1.00 r0.0"},
        {{{"textRotation", "400"}}, "i\ni\n\n", " h250.0 w1.00 r40.0"},
        {{{"textRotation", "-200"}}, "i\ni\n\n", " h250.0 w1.00 r160.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefs.begin()->second);
        writePrefs(c.prefs);
        Outcome r = run("plan_mm.dxf", "mut\n" + c.answers + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const Attribute name = read("saved.dxf")["ROOM-101"].attributes.at("NAME");
        EXPECT_NE(name.placement.find(c.placement), std::string::npos) << name.placement;
    }
}

TEST_F(SpaceCommands, ThePreferencesDialogTakesALabelsSizeAndRotationAsTheBlockEditorDoes) {
    const std::string rotation = "Text Rotation: please enter a number between -360 and 360.";
    const std::string size = "Text Size: please enter a number above 0 and no more than 1000000.";
    const struct {
        const char* box;
        const char* typed;
        std::string refused; // empty: taken
        std::string saved;   // the key and the value line the file then holds
    } cases[] = {
        {"342", "400", rotation, "textRotation\r\n0.00\r\n"}, {"342", "-361", rotation, "textRotation\r\n0.00\r\n"},
        {"342", "-360", "", "textRotation\r\n-360.00\r\n"},   {"342", "-45", "", "textRotation\r\n-45.00\r\n"},
        {"291", "5000000", size, "textSize\r\n250.00\r\n"},   {"291", "0", size, "textSize\r\n250.00\r\n"},
        {"291", "-3", size, "textSize\r\n250.00\r\n"},        {"291", "1000000", "", "textSize\r\n1000000.00\r\n"},
    };
    const fs::path file = dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.box) + " " + c.typed);
        writePrefs({});
        const std::string script = std::string("mprefs\ndlg set ") + c.box + " " + c.typed + "\ndlg enter\n" +
                                   (c.refused.empty() ? "" : "ok\ndlg esc\n");
        Outcome r = run("plan_mm.dxf", script);
        // A refused value is a line not applied.
        ASSERT_EQ(r.status, c.refused.empty() ? 0 : 1) << r.err;
        if (!c.refused.empty()) {
            EXPECT_EQ(count(r.err, "test.scr:3: the dialog refused the value: " + c.refused + "\n"), 1u) << r.err;
        }
        if (c.refused.empty())
            EXPECT_EQ(r.out.find("please enter"), std::string::npos) << r.out;
        else
            EXPECT_EQ(count(r.out, c.refused), 1u) << r.out;
        EXPECT_NE(slurp(file).find(c.saved), std::string::npos) << slurp(file);
    }
}

} // namespace
} // namespace spacecommands
