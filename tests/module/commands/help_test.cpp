// The two help commands print fixed tables, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "classlib/Resources.h"
#include "commands/Brenvik.h"
#include "support/EntryFixture.h"

namespace {

class Help : public kelmo_test::ModuleFixture {};

std::wstring pad(const std::wstring& text, size_t width) {
    return text + std::wstring(width > text.size() ? width - text.size() : 0, L' ');
}

// Four blanks, the command in eight columns, the full name in thirty, then the description; its
// further lines stand in the description's column.
std::wstring row(const std::wstring& global, const std::wstring& local, std::initializer_list<std::wstring> lines) {
    std::wstring text = L"    " + pad(global, 8) + pad(local, 30);
    bool first = true;
    for (const std::wstring& line : lines) {
        text += (first ? L"" : std::wstring(42, L' ')) + line + L"\n";
        first = false;
    }
    return text;
}

TEST_F(Help, CommandHelpPrintsItsTable) {
    std::wstring expected = L"  command   fullname                      Description\n\n";
    expected += L"-\nKRP Suite Commands\n";
    expected += row(L"mbe", L"kelmoBrenvik", {L"Edit kelmo blocks."});
    expected += row(L"mbh", L"kelmoBlockHyperlink", {L"Multiple hyperlink blocks."});
    expected += row(L"mbc", L"kelmoBlockCreate", {L"Create a kelmo block."});
    expected += row(L"mgabc", L"kelmoGrossAreaBlockCreate", {L"Create a kelmo gross area block."});
    expected += row(L"mdb", L"kelmoDeleteBlock", {L"Delete kelmo block."});
    expected += row(L"mcsv", L"kelmoCommaSeperatedValues", {L"Export drawing details to csv."});
    expected += L"-\n-\nUtilities\n";
    expected += row(L"mus", L"kelmoUpdateSpaces",
                    {L"Recalculate all areas and perimeters", L"in the drawing. Updates attributes if xdata",
                     L"and attribute value are linked"});
    // Two rows set apart: a tab after the full name, and a command column one wider.
    expected += L"    msxta   kelmoSyncXDataToAttributes\t  Copies xdata values to appropriate attributes.\n" +
                std::wstring(42, L' ') + L"Recalculates xdata if specified.\n";
    expected += L"    " + pad(L"mbta", 9) + pad(L"kelmoBlankThirdAttribute", 29) +
                L"Set all third attribute (aux) values to \"\" i.e. blank\n";
    expected += row(L"mut", L"kelmoUpdateText", {L"Resize all attribute text to", L"preferences default value."});
    expected += row(L"maux", L"kelmoAuxilarator",
                    {L"Add auxillary tags to kelmo blocks", L"which do not have an auxillary tag."});
    expected += row(L"mlb", L"kelmoListBlocks", {L"List the block name and identifiers", L"in the drawing."});
    expected += L"-\n-\n-\nAdministration\n";
    expected += row(L"mprefs", L"kelmoPreferences", {L"Edit preferences."});
    expected += L"-\n-\n-\nHelp\n";
    expected += row(L"m?", L"mhelp",
                    {L"Displays details of the kelmo.", L"commands avaialble in this version of", L"the Dorvane."});
    expected += L"-\n-\n";

    commandHelp();
    EXPECT_EQ(host->commandLine(), expected);
}

TEST_F(Help, DiagnosticsHelpPrintsItsTable) {
    std::wstring expected = L"  command      fullname                      Description\n\n-\nKelmo Diagnostics\n";
    expected += row(L"mda", L"kelmoDiagnosticAll", {L"Runs all diagnostic routines."});
    expected += row(L"md1", L"kelmoDiagnosticBasic", {L"Tests output to commandline."});
    expected += row(L"md3", L"kelmoDiagnosticDialog", {L"Test Dialogs."});
    expected += row(L"md4", L"kelmoDiagnosticErrorsA", {L"Throws and handles test error."});
    expected += row(L"md5", L"kelmoDiagnosticErrorsB", {L"Throws and handles test error."});
    expected += row(L"md6", L"kelmoDiagnosticErrorsC", {L"Retrieves Function name."});
    expected += row(L"md7", L"kelmoDiagnosticErrorsD", {L"Retrieves File name."});
    expected += row(L"md8", L"kelmoDiagnosticUserInput", {L"Tests User Input."});
    expected += row(L"md9", L"kelmoDiagnosticXML", {L"Test XML output."});
    expected += L"-\n-\n";

    const size_t depth = acDocManager->resourceDepth();
    diagnosticsHelp();
    EXPECT_EQ(host->commandLine(), expected);
    EXPECT_EQ(acDocManager->resourceDepth(), depth);
}

} // namespace
