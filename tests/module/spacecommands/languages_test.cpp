// Text in other languages through listing, editing and saving, on drawings written by ezdxf in the release
// and code page such drawings come in, the saved drawing read back by ezdxf.
#include "LanguagePlans.h"

namespace spacecommands {
namespace {

TEST_F(Languages, EveryCodePageADrawingNamesIsReadAsWhatItNamesListedAndKeptInTheSavedHeader) {
    const Plan cases[] = {
        {"R2000", "ANSI_1251", "cp1251",
         "\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB3\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x80"
         "\xD0\xBD\xD0\xB0\xD1\x8F"},                                                        // Переговорная
        {"R2004", "ANSI_932", "cp932", "\xE4\xBC\x9A\xE8\xAD\xB0\xE5\xAE\xA4 \xE8\xA1\xA8"}, // 会議室 表 (0x5C trail)
        {"R2000", "ANSI_936", "gbk", "\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4"},                // 办公室
        {"R2000", "gb2312", "gb2312", "\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4\xE5\x8C\x97\xE4\xBA\xAC"}, // 办公室北京
        {"R2000", "big5", "big5", "\xE6\x9C\x83\xE8\xAD\xB0\xE5\xAE\xA4"},                             // 會議室
        {"R2000", "ksc5601", "euc_kr", "\xED\x9A\x8C\xEC\x9D\x98\xEC\x8B\xA4"},                        // 회의실
        {"R2000", "johab", "johab", "\xED\x9A\x8C\xEC\x9D\x98\xEC\x8B\xA4"},
        {"R2004", "ANSI_949", "cp949", "\xED\x9A\x8C\xEC\x9D\x98\xEC\x8B\xA4"},
        {"R2000", "iso8859-2", "iso8859_2",
         "Gda\xC5\x84sk \xC5\x81\xC3\xB3"
         "d\xC5\xBA"}, // Gdańsk Łódź
        {"R2000", "ISO8859-7", "iso8859_7", "\xCE\x91\xCE\xAF\xCE\xB8\xCE\xBF\xCF\x85\xCF\x83\xCE\xB1"}, // Αίθουσα
        {"R2000", "ISO8859-5", "iso8859_5", "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBD\xD0\xB0\xD1\x82\xD0\xB0"}, // Комната
        {"R2000", "mac-roman", "mac_roman",
         "Caf\xC3\xA9 \xC3\x9C"
         "ber"}, // Café Über
        {"R2000", "dos866", "cp866", "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBD\xD0\xB0\xD1\x82\xD0\xB0"},
        {"R2000", "dos850", "cp850", "B\xC3\xBCro \xC3\x98st"}, // Büro Øst
        {"R2000", "ANSI_1250", "cp1250",
         "Gda\xC5\x84sk \xC5\x81\xC3\xB3"
         "d\xC5\xBA"},
        {"R2000", "ANSI_1253", "cp1253", "\xCE\x91\xCE\xAF\xCE\xB8\xCE\xBF\xCF\x85\xCF\x83\xCE\xB1"},
        {"R2000", "ANSI_1256", "cp1256", "\xD8\xBA\xD8\xB1\xD9\x81\xD8\xA9"},               // غرفة
        {"R2000", "ANSI_874", "cp874", "\xE0\xB8\xAB\xE0\xB9\x89\xE0\xB8\xAD\xE0\xB8\x87"}, // ห้อง
        {"R2000", "UTF-8", "utf-8", "Z\xC3\xBCrich \xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4"},
        {"R12", "gb2312", "gb2312", "\xE5\x8C\x97\xE4\xBA\xAC"}, // 北京
        {"R12", "ANSI_1251", "cp1251", "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBD\xD0\xB0\xD1\x82\xD0\xB0"},
        // Text from R2007 on is UTF-8 whatever the page; the page the drawing names stays.
        {"R2018", "ANSI_1251", "utf-8", "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBD\xD0\xB0\xD1\x82\xD0\xB0"},
    };
    for (const Plan& c : cases) {
        SCOPED_TRACE(std::string(c.release) + " " + c.page);
        const std::string file = std::string("lang_") + c.release + "_" + c.codec + ".dxf";
        make(file, c);
        const bool rooms = std::string(c.release) != "R12";
        Outcome r = run(file, std::string(rooms ? "mlb\n\n\n" : "") + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_EQ(r.err.find("code page"), std::string::npos) << r.err;
        if (rooms) {
            EXPECT_TRUE(has(r, "\nROOM-1," + c.name + ",40.00,")) << r.out;
        }
        std::string expected = "CODEPAGE=" + std::string(c.page) + "\nTEXT|Plan " + c.name + "|" + c.name + "\n";
        if (rooms) expected += "ROOM|ROOM-1|" + c.name + "|40.00sq.m.|" + c.name + "|40.00sq.m.|<Not Set>\n";
        EXPECT_EQ(dump("saved.dxf"), expected);
    }
}

TEST_F(Languages, ACodePageNotKnownHereIsNamedAtTheOpeningAndTheDrawingIsSavedAsWhatItWasReadAs) {
    const struct {
        const char* release;
        const char* page;
        const char* said; // on standard error at the opening; empty: nothing
        const char* saved;
    } cases[] = {
        {"R2000", "ANSI_9999",
         "cadhost: plan.dxf: the code page ANSI_9999 is not one known here: its text is read as Windows-1252 "
         "(ANSI_1252)\n",
         "ANSI_1252"},
        {"R12", "KOI8-U",
         "cadhost: plan.dxf: the code page KOI8-U is not one known here: its text is read as Windows-1252 "
         "(ANSI_1252)\n",
         "ANSI_1252"},
        // UTF-8 text needs no page: the name is kept as it stands, and nothing is said.
        {"R2018", "ANSI_9999", "", "ANSI_9999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.release) + " " + c.page);
        make("plan.dxf", {c.release, c.page, std::string(c.release) == "R2018" ? "utf-8" : "cp1252", "Caf\xC3\xA9"});
        Outcome r = run("plan.dxf", "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_EQ(r.err, c.said);
        EXPECT_EQ(dump("saved.dxf").substr(0, dump("saved.dxf").find('\n')), std::string("CODEPAGE=") + c.saved);
        EXPECT_NE(dump("saved.dxf").find("TEXT|Plan Caf\xC3\xA9|Caf\xC3\xA9\n"), std::string::npos);
    }
}

TEST_F(Languages, ACharacterBeyondTheFirstPlaneIsOneCharacterListedEditedAndSavedAndALoneSurrogateStaysAsWritten) {
    const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600
    const std::string yoshi = "\xF0\xA0\xAE\xB7"; // U+20BB7, the ideograph of Japanese names
    const struct {
        const char* what;
        Plan plan;
        std::string read; // as the drawing means it
    } cases[] = {
        {"a surrogate pair", {"R2000", "ANSI_1252", "cp1252", "Room \\U+D83D\\U+DE00"}, "Room " + grin},
        {"a pair in small letters", {"R2004", "ANSI_1252", "cp1252", "Room \\u+d83d\\u+de00"}, "Room " + grin},
        {"a pair among Japanese",
         {"R2004", "ANSI_932", "cp932", "Room \\U+D842\\U+DFB7\xE9\x87\x8E\xE5\xAE\xB6"},
         "Room " + yoshi + "\xE9\x87\x8E\xE5\xAE\xB6"},
        // ezdxf writes such a character as eight digits.
        {"eight digits", {"R2000", "ANSI_1252", "cp1252", "Room " + grin}, "Room " + grin},
        {"a lone high surrogate", {"R2000", "ANSI_1252", "cp1252", "Room \\U+D83D x"}, "Room \\U+D83D x"},
        {"a pair the wrong way round",
         {"R2000", "ANSI_1252", "cp1252", "Room \\U+DE00\\U+D83D"},
         "Room \\U+DE00\\U+D83D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        make("plan.dxf", c.plan);
        // Listed, renamed in part by find and replace, then saved.
        Outcome r = run("plan.dxf", "mlb\n\n\nmfrs\nRoom\nSalle\nSAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(has(r, "\nROOM-1," + c.read + ",40.00,")) << r.out;
        const std::string renamed = "Salle" + c.read.substr(4);
        const std::string saved = dump("saved.dxf");
        EXPECT_NE(saved.find("|" + c.read + "\n"), std::string::npos) << saved; // the text
        EXPECT_NE(saved.find("ROOM|ROOM-1|" + renamed + "|40.00sq.m.|" + renamed + "|"), std::string::npos) << saved;
    }
}

} // namespace
} // namespace spacecommands
