#include "cad/dxf/DxfDocument.h"

#include <gtest/gtest.h>

using namespace dxf;

namespace {

std::vector<Tag> tokenize(std::string_view text, std::vector<std::string>* errors = nullptr) {
    Tokenizer tok(text);
    std::vector<Tag> out;
    Tag t;
    for (;;) {
        auto r = tok.next(t);
        if (r == Tokenizer::Result::End) break;
        if (r == Tokenizer::Result::Bad) {
            if (errors) errors->push_back(tok.error());
            continue;
        }
        out.push_back(t);
    }
    return out;
}

} // namespace

TEST(DxfTokenizer, LineEndsOfEveryKindGiveTheSameTags) {
    auto lf = tokenize("  0\nLINE\n  8\nWalls\n 10\n1.5\n");
    auto crlf = tokenize("  0\r\nLINE\r\n  8\r\nWalls\r\n 10\r\n1.5\r\n");
    auto cr = tokenize("  0\rLINE\r  8\rWalls\r 10\r1.5\r");
    ASSERT_EQ(lf.size(), 3u);
    for (auto* v : {&crlf, &cr}) {
        ASSERT_EQ(v->size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ((*v)[i].code, lf[i].code);
            EXPECT_EQ((*v)[i].value, lf[i].value);
        }
    }
    EXPECT_EQ(lf[1].value, "Walls");
}

TEST(DxfTokenizer, SkipsCommentsAndByteOrderMarkAndKeepsLeadingBlanksOfText) {
    auto tags = tokenize(
        "\xEF\xBB\xBF"
        "999\nwritten by hand\n  0\nTEXT\n  1\n  indented\n");
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].value, "TEXT");
    EXPECT_EQ(tags[1].value, "  indented");
}

TEST(DxfTokenizer, BadGroupCodeLosesOnlyItsRecord) {
    std::vector<std::string> errors;
    auto tags = tokenize("  0\nLINE\nxx\ngarbage\n 10\n1\n  0\nCIRCLE\n 40\n2\n", &errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("line 3"), std::string::npos);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[1].value, "CIRCLE");
    EXPECT_EQ(tags[2].code, 40);
}

TEST(DxfTokenizer, AfterABadGroupCodeAValueZeroIsNoRecordStart) {
    // Flags and layer "0" are value lines holding 0; the record after them is where reading goes on,
    // whether the bad line was a group code or a value whose group code line was lost.
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"bad group code", "  0\nLINE\nxx\ngarbage\n  8\n0\n 70\n0\n  0\nCIRCLE\n 40\n2\n"},
        {"lost group code line", "  0\nLINE\n  8\nWalls\nWalls\n 70\n0\n 62\n0\n  0\nCIRCLE\n 40\n2\n"},
        {"zero right after", "  0\nLINE\nxx\n0\n 70\n0\n  0\nCIRCLE\n 40\n2\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> errors;
        auto tags = tokenize(c.text, &errors);
        EXPECT_EQ(errors.size(), 1u) << c.name;
        ASSERT_GE(tags.size(), 2u) << c.name;
        EXPECT_EQ(tags[tags.size() - 2].code, 0) << c.name;
        EXPECT_EQ(tags[tags.size() - 2].value, "CIRCLE") << c.name;
        EXPECT_EQ(tags.back().code, 40) << c.name;
    }
}

TEST(DxfEncoding, AnsiAndEscapesBecomeUtf8) {
    EXPECT_EQ(ansiToUtf8("Stra\xDF"
                         "e \x80",
                         "ANSI_1252"),
              "Stra\xC3\x9F"
              "e \xE2\x82\xAC");
    EXPECT_EQ(ansiToUtf8("\x81", "dos850"), "\xC3\xBC");                            // u umlaut in the DOS page
    EXPECT_EQ(ansiToUtf8("\xC4\xE5\xEC", "ANSI_1251"), "\xD0\x94\xD0\xB5\xD0\xBC"); // Cyrillic
    EXPECT_EQ(ansiToUtf8("\xC4", "ANSI_9999"), "\xC3\x84");                         // an unknown page reads as 1252
    EXPECT_EQ(decodeUnicodeEscapes("\\U+039B-\\U+00fc"), "\xCE\x9B-\xC3\xBC");
    EXPECT_EQ(decodeUnicodeEscapes("\\U+12"), "\\U+12");     // too short: left as it stands
    EXPECT_EQ(decodeUnicodeEscapes("\\U+D800"), "\\U+D800"); // a lone surrogate is no character
    EXPECT_EQ(repairUtf8("ok \xC3\xBC bad \xFC"), "ok \xC3\xBC bad \xC3\xBC");
    EXPECT_EQ(repairUtf8("\xE2\x82"), "\xC3\xA2\xE2\x80\x9A"); // cut sequence read as 1252
}

TEST(DxfEncoding, EveryCodePageADrawingMayNameReadsAsWhatItNames) {
    const struct {
        const char* page;
        const char* bytes;
        const char* utf8;
    } cases[] = {
        {"ANSI_874", "\xCB\xE9\xCD\xA7", "\xE0\xB8\xAB\xE0\xB9\x89\xE0\xB8\xAD\xE0\xB8\x87"},
        {"ANSI_932", "\x95\x5C", "\xE8\xA1\xA8"}, // a second byte that is a backslash
        {"DOS932", "\x95\x5C", "\xE8\xA1\xA8"},
        {"ANSI_936", "\xB0\xEC", "\xE5\x8A\x9E"},
        {"gb2312", "\xB0\xEC", "\xE5\x8A\x9E"},
        {"GB2312", "\xB0\xEC", "\xE5\x8A\x9E"},
        {"ANSI_949", "\xC8\xB8", "\xED\x9A\x8C"},
        {"ksc5601", "\xC8\xB8", "\xED\x9A\x8C"},
        {"johab", "\xD2\x41", "\xED\x9A\x8C"},
        {"ANSI_1361", "\xD2\x41", "\xED\x9A\x8C"},
        {"ANSI_950", "\xB7\x7C", "\xE6\x9C\x83"},
        {"big5", "\xB7\x7C", "\xE6\x9C\x83"},
        {"ANSI_1250", "\xA3\xF3", "\xC5\x81\xC3\xB3"},
        {"ANSI_1251", "\xC4", "\xD0\x94"},
        {"ANSI_1252", "\x80", "\xE2\x82\xAC"},
        {"ANSI_1253", "\xC1", "\xCE\x91"},
        {"ANSI_1254", "\xD0", "\xC4\x9E"},
        {"ANSI_1255", "\xE0", "\xD7\x90"},
        {"ANSI_1256", "\xDB", "\xD8\xBA"},
        {"ANSI_1257", "\xC0", "\xC4\x84"},
        {"ANSI_1258", "\xC3", "\xC4\x82"},
        {"iso8859-1", "\xE9", "\xC3\xA9"},
        {"ISO8859-2", "\xA3", "\xC5\x81"},
        {"iso8859_5", "\xB4", "\xD0\x94"},
        {"ISO8859-7", "\xC1", "\xCE\x91"},
        {"ISO8859-9", "\xD0", "\xC4\x9E"},
        {"mac-roman", "\x8E", "\xC3\xA9"},
        {"MACINTOSH", "\x8E", "\xC3\xA9"},
        {"dos437", "\x82", "\xC3\xA9"},
        {"DOS850", "\x81", "\xC3\xBC"},
        {"dos866", "\x84", "\xD0\x94"},
        {"UTF-8", "\xC3\xA9", "\xC3\xA9"},
        {"ascii", "A", "A"},
        // A byte the page does not define reads as Windows-1252, and the rest goes on.
        {"ANSI_932", "\x95\x5C\xA0\x95\x5C", "\xE8\xA1\xA8\xC2\xA0\xE8\xA1\xA8"},
        {"ANSI_936", "\xB0", "\xC2\xB0"}, // a character cut off by the end of the value
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(CodePage(c.page).known()) << c.page;
        EXPECT_EQ(CodePage(c.page).toUtf8(c.bytes), c.utf8) << c.page;
    }
    for (const char* unknown : {"ANSI_9999", "KOI8-U", "", "ISO8859-12", "DOS"}) {
        EXPECT_FALSE(CodePage(unknown).known()) << unknown;
        EXPECT_EQ(CodePage(unknown).toUtf8("\xC4"), "\xC3\x84") << unknown;
    }
}

TEST(DxfEncoding, ACharacterBeyondTheFirstPlaneIsOneCharacterAndALoneSurrogateStaysAsWritten) {
    const struct {
        const char* escaped;
        const char* utf8;
    } cases[] = {
        {"\\U+D83D\\U+DE00", "\xF0\x9F\x98\x80"},
        {"a\\u+d842\\u+dfb7b",
         "a\xF0\xA0\xAE\xB7"
         "b"},
        {"\\U+0001f600", "\xF0\x9F\x98\x80"}, // eight digits, as some writers put it
        {"\\U+0010FFFF", "\xF4\x8F\xBF\xBF"},
        {"\\U+D83D", "\\U+D83D"},                 // lone high
        {"\\U+DE00", "\\U+DE00"},                 // lone low
        {"\\U+DE00\\U+D83D", "\\U+DE00\\U+D83D"}, // the wrong way round
        {"\\U+D83D\\U+D83D\\U+DE00", "\\U+D83D\xF0\x9F\x98\x80"},
        {"\\U+D83Dx\\U+DE00", "\\U+D83Dx\\U+DE00"},
        {"\\U+D83D\\U+DE0", "\\U+D83D\\U+DE0"}, // the second cut short
        {"\\U+0001", "\x01"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeUnicodeEscapes(c.escaped), c.utf8) << c.escaped;
}

TEST(DxfEncoding, ACodePageNotKnownHereIsNamedAndTheDrawingKeepsWhatItWasReadAs) {
    const auto text = [](const std::string& release, const std::string& page, const std::string& value) {
        return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\n" + release + "\n  9\n$DWGCODEPAGE\n  3\n" + page +
               "\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  1\n" + value + "\n  0\nENDSEC\n  0\nEOF\n";
    };
    Document unknown = parseDocument(text("AC1015", "ANSI_9999", "\xC4"), "old.dxf");
    ASSERT_EQ(unknown.problems.size(), 1u);
    EXPECT_EQ(unknown.problems[0],
              "the code page ANSI_9999 is not one known here: its text is read as Windows-1252 (ANSI_1252)");
    EXPECT_EQ(*findValue(unknown.entities[0], 1), "\xC3\x84");
    EXPECT_EQ((*unknown.headerVar("$DWGCODEPAGE"))[0].value, "ANSI_1252");

    Document known = parseDocument(text("AC1009", "gb2312", "\xB0\xEC"), "r12.dxf");
    EXPECT_TRUE(known.problems.empty());
    EXPECT_EQ(*findValue(known.entities[0], 1), "\xE5\x8A\x9E");
    EXPECT_EQ((*known.headerVar("$DWGCODEPAGE"))[0].value, "gb2312");

    // UTF-8 text needs no page: nothing is said and the name stays.
    Document modern = parseDocument(text("AC1027", "ANSI_9999", "\xC3\x84"), "new.dxf");
    EXPECT_TRUE(modern.problems.empty());
    EXPECT_EQ((*modern.headerVar("$DWGCODEPAGE"))[0].value, "ANSI_9999");
}

TEST(DxfEncoding, FileReleaseDecidesHowTextIsRead) {
    const std::string old =
        "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$DWGCODEPAGE\n  3\nANSI_1252\n"
        "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  1\n\xC4\\U+03B1\n  0\nENDSEC\n  0\nEOF\n";
    Document d = parseDocument(old, "old.dxf");
    ASSERT_EQ(d.entities.size(), 1u);
    EXPECT_EQ(*findValue(d.entities[0], 1), "\xC3\x84\xCE\xB1");

    std::string modern = old;
    modern.replace(modern.find("AC1015"), 6, "AC1027");
    modern.replace(modern.find("\xC4"), 1, "\xC3\x84");
    Document m = parseDocument(modern, "new.dxf");
    EXPECT_EQ(*findValue(m.entities[0], 1), "\xC3\x84\xCE\xB1");
}

TEST(DxfValues, HandlesAndNumbers) {
    EXPECT_EQ(parseHandle("1a2B"), 0x1A2Bu);
    EXPECT_EQ(parseHandle(""), 0u);
    EXPECT_EQ(parseHandle("xyz"), 0u);
    EXPECT_EQ(handleText(0xABCu), "ABC");
    EXPECT_EQ(formatDouble(1.0), "1.0");
    EXPECT_EQ(formatDouble(0.1), "0.1");
    EXPECT_EQ(parseDouble(formatDouble(1.0 / 3.0)), 1.0 / 3.0);
    EXPECT_EQ(parseDouble(" 12.5 "), 12.5);
    EXPECT_EQ(parseInt(" 7 "), 7);
    EXPECT_EQ(parseInt("1.0"), 1);
    EXPECT_EQ(parseInt("junk", -4), -4);
}

TEST(DxfSniff, RefusesBinaryDxfDwgAndNonText) {
    EXPECT_EQ(sniff("AutoCAD Binary DXF\r\n\x1a"), FileKind::BinaryDxf);
    EXPECT_EQ(sniff(std::string("AC1032\0\0\0\x01", 10)), FileKind::Dwg);
    EXPECT_EQ(sniff(std::string("\x89PNG\0\0", 6)), FileKind::NotText);
    EXPECT_EQ(sniff("  0\nSECTION\n"), FileKind::Ascii);
    try {
        parseDocument("AutoCAD Binary DXF\r\n\x1a", "C:\\plans\\b.dxf");
        FAIL() << "binary DXF accepted";
    } catch (const Refused& e) {
        EXPECT_NE(std::string(e.what()).find("C:\\plans\\b.dxf"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("binary"), std::string::npos);
    }
    EXPECT_THROW(parseDocument(std::string("AC1027\0\0", 8), "a.dwg"), Refused);
    EXPECT_THROW(parseDocument("", "empty.dxf"), Refused);
    EXPECT_THROW(parseDocument("hello\nworld\n", "note.txt"), Refused);
}

TEST(DxfTagValue, KeepsItsTextThroughCopiesMovesAndAssignmentsFromItself) {
    // Values held in the tag and on the heap, and both sides of the boundary between them.
    for (std::size_t n : {0u, 1u, 10u, 11u, 12u, 15u, 16u, 17u, 40u, 5000u}) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i) text += static_cast<char>('a' + i % 26);
        SCOPED_TRACE(n);
        TagValue v(text);
        EXPECT_EQ(v, text);
        TagValue copy(v);
        TagValue moved(std::move(copy));
        EXPECT_EQ(moved, text);
        EXPECT_TRUE(copy.empty());
        TagValue assigned = "x";
        assigned = moved;
        EXPECT_EQ(assigned, text);
        assigned = std::move(moved);
        EXPECT_EQ(assigned, text);
        // A part of its own text, from either kind of storage into either.
        assigned = assigned.view().substr(n / 2);
        EXPECT_EQ(assigned, text.substr(n / 2));
        const TagValue& same = v;
        v = same;
        EXPECT_EQ(v.str(), text);
    }
}

TEST(DxfTagValue, LongValuesEveryDrawingRepeatsAreSharedAndBehaveAsAnyOther) {
    TagValue a("AcDbBlockReference"), b(std::string("AcDbBlockReference"));
    EXPECT_EQ(a.data(), b.data()); // one block for every record that names it
    TagValue near("AcDbBlockReferenceX");
    EXPECT_NE(near.data(), a.data());
    EXPECT_EQ(near, "AcDbBlockReferenceX");
    // From and into a shared value, and parts of its own text either way.
    for (std::string_view text : {"AcDbAttribute", "*Model_Space", "AcDbDictionaryWithDefault"}) {
        SCOPED_TRACE(text);
        TagValue v("x" + std::string(text));
        v = v.view().substr(1); // its own heap text, which is a shared value
        EXPECT_EQ(v, text);
        TagValue copy(v);
        EXPECT_EQ(copy.data(), v.data());
        copy = copy.view().substr(2); // a part of the shared text, held apart
        EXPECT_EQ(copy, text.substr(2));
        copy = v;
        copy = std::move(v);
        EXPECT_EQ(copy, text);
        EXPECT_TRUE(v.empty());
        copy = "short";
        EXPECT_EQ(copy, "short");
    }
}

TEST(DxfTagValue, ATagTakesACodeAndTwelveBytes) {
    EXPECT_EQ(sizeof(Tag), 16u);
}
