// The characters a paragraph text's escapes stand for, as the plot draws them.
#include <gtest/gtest.h>

#include "cad/plot/PlotRenderer.h"

namespace {

std::wstring drawn(const std::wstring& contents) {
    std::wstring text;
    for (const plot::drawing::TextLine& line : plot::drawing::paragraphRuns(contents, 1.0))
        for (const plot::drawing::TextRun& run : line) text += run.text;
    return text;
}

TEST(TextRuns, ACharacterBeyondTheFirstPlaneIsOneCharacterAndALoneSurrogateIsDrawnAsWritten) {
    const struct {
        const wchar_t* contents;
        const wchar_t* drawn;
    } cases[] = {
        {L"Room \\U+D83D\\U+DE00", L"Room \U0001F600"},
        {L"\\U+D842\\U+DFB7x", L"\U00020BB7x"},
        {L"\\U+00E9", L"\u00E9"},
        {L"a\\U+D83Db", L"a\\U+D83Db"},
        {L"\\U+DE00\\U+D83D", L"\\U+DE00\\U+D83D"},
        {L"\\U+D83D\\U+0041", L"\\U+D83DA"},
    };
    for (const auto& c : cases) EXPECT_EQ(drawn(c.contents), c.drawn);
}

} // namespace
