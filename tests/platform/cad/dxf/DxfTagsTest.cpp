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
