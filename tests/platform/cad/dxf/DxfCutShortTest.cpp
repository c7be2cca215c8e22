// A file cut short (a copy still in progress) is told apart from other damage the reader mends: the
// database says so beside the problems it lists.
#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kLine = "  0\nLINE\n  8\n0\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n";

std::string section(const std::string& body) {
    return "  0\nSECTION\n  2\nENTITIES\n" + body + "  0\nENDSEC\n";
}

TEST(DxfCutShort, AFileEndingInsideASectionOrWithoutEofIsCutShortOtherDamageIsNot) {
    struct Case {
        const char* what;
        std::string text;
        bool cutShort;
    };
    const std::vector<Case> cases = {
        {"whole", section(kLine) + "  0\nEOF\n", false},
        {"ends inside the section", "  0\nSECTION\n  2\nENTITIES\n" + kLine, true},
        {"ends in the middle of a record", "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n", true},
        {"no EOF marker", section(kLine), true},
        {"bytes after EOF", section(kLine) + "  0\nEOF\nleft over\n", false},
        {"a section not closed before the next",
         "  0\nSECTION\n  2\nENTITIES\n" + kLine + section(kLine) + "  0\nEOF\n", false},
    };
    for (const Case& c : cases) {
        auto db = std::make_unique<AcDbDatabase>(false, true);
        std::vector<std::string> problems;
        dxf::loadDatabase(db.get(), c.text, "cut.dxf", problems);
        EXPECT_EQ(db->fileCutShort(), c.cutShort) << c.what;
        EXPECT_EQ(db->fileProblems().empty(), c.text == cases[0].text) << c.what;
    }
}

} // namespace
