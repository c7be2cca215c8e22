// The diagnostics commands and the frame's failure clauses.
#include <gtest/gtest.h>

#include <fstream>

#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "core/KelmoExceptions.h"
#include "support/EntryFixture.h"

namespace {

namespace fs = std::filesystem;

class Diagnostics : public kelmo_test::ModuleFixture {
protected:
    size_t at(const std::wstring& line) const { return host->commandLine().find(line); }
    bool printed(const std::wstring& line) const { return at(line) != std::wstring::npos; }
};

std::wstring errorLines(wchar_t which) {
    return std::wstring(L"Error Test ") + which +
           L" - throws test error\nthe error has been handled - diagnostics\nkelmo error handled successfully\n"
           L"error handling test completed\n";
}

TEST_F(Diagnostics, AllRunsEveryTestButTheDialogInOrder) {
    host->answers({L"0", L"2.5", L"", L"some text", L""});
    diagnosticAll();
    test();
    const std::wstring out = host->commandLine();
    EXPECT_EQ(at(L"basic test - output to commandline\nbasic test successful\nbasic test completed\n"), 0u) << out;
    EXPECT_LT(at(errorLines(L'A')), at(errorLines(L'B')));
    EXPECT_LT(at(errorLines(L'B')),
              at(L"Error Test C - retrieve function name\nfunction diagnosticErrorsC\nfile Brenvik\n"));
    EXPECT_LT(at(L"file Brenvik\n"), at(L"user input test - tests boolean, double, integer, string input\n"));
    // The host's print knows no "%b": the line shows it as it stands.
    EXPECT_TRUE(printed(L"boolean user input test successful - %b\n")) << out;
    EXPECT_TRUE(printed(L"decimal user input test successful - 2.500\n"));
    EXPECT_TRUE(printed(L"testing integer input. Type an integer(whole) number and then enter <27>:"));
    EXPECT_TRUE(printed(L"integer user input test successful - 27\n"));
    EXPECT_TRUE(printed(L"text user input test successful - some text\nuser input test finished\n"));
    EXPECT_LT(at(L"user input test finished\n"), at(L"xml test completed successfully\n"));
    EXPECT_EQ(out.substr(out.size() - 32), L"xml test completed successfully\n"); // "test" prints nothing
    EXPECT_TRUE(host->fileDialogs().empty());
    EXPECT_TRUE(host->messageBoxes().empty());
}

TEST_F(Diagnostics, XmlTestWritesItsFileAtTheDriveRootAndReplacesAnOldOne) {
    host->answers({L"", L"C:\\kelmoDiagnosis.xml"});
    diagnosticXML();
    EXPECT_TRUE(printed(L"please enter output file path <c:\\kelmoDiagnosis.xml>:"));
    const std::string xml = slurp(host->tempDir() / "c" / "kelmoDiagnosis.xml");
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
    EXPECT_NE(xml.find("<root xmlns=\"http://schemas.kelmo.net/Ostrel\"><name>value</name></root>"), std::string::npos)
        << xml;
    diagnosticXML();
    EXPECT_EQ(slurp(host->tempDir() / "c" / "kelmoDiagnosis.xml"), xml); // one "name" child, not two
}

TEST_F(Diagnostics, XmlTestCancelledOrOutOfInputLeavesTheFileAtTheDefaultPathAlone) {
    const fs::path file = host->tempDir() / "c" / "kelmoDiagnosis.xml";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "kept";
    host->answer(L"*Cancel*");
    diagnosticXML();
    diagnosticXML(); // nothing left to answer
    EXPECT_EQ(slurp(file), "kept");
    EXPECT_FALSE(printed(L"xml test completed successfully\n")) << host->commandLine();
    EXPECT_TRUE(host->messageBoxes().empty());
}

TEST_F(Diagnostics, XmlTestInAMissingFolderShowsOneErrorBoxNamingTheCommand) {
    host->answer(L"C:\\no such folder\\out.xml");
    diagnosticXML();
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].caption, L"Error Detected.");
    EXPECT_EQ(host->messageBoxes()[0].text.rfind(L"Brenvik::diagnosticXML\n\t", 0), 0u);
    EXPECT_FALSE(printed(L"xml test completed successfully\n"));
}

// A handler of the same source file with the clauses that end in a fixed line.
KELMO_SOURCE_FILE(L"Brenvik");

void failingHandler(int how) {
    KELMO_TRY
        kelmo::CommandResources resources;
        if (how == 0) {
            throw new CEXCustom(L"inner trouble", L"test", L"Inner", L"Inner::work", 0, nullptr);
        }
        if (how == 1) {
            throw new CException();
        }
        throw 42;
        KELMO_COMMAND_CATCH_LINE(L"failingHandler", L"\nUnhandled Error - Test Failed\n")
}

class Frame : public kelmo_test::ModuleFixture {};

TEST_F(Frame, AModuleExceptionGivesOneErrorBoxAnythingElseTheHandlersLine) {
    const size_t depth = acDocManager->resourceDepth();
    failingHandler(0);
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].text, L"Brenvik::failingHandler\n\tInner::Inner::work\n\ninner trouble");
    EXPECT_EQ(host->commandLine(), L"");
    failingHandler(1); // the class library's exception is released (the sanitizer build checks)
    failingHandler(2);
    EXPECT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->commandLine(), L"\nUnhandled Error - Test Failed\n\nUnhandled Error - Test Failed\n");
    EXPECT_EQ(acDocManager->resourceDepth(), depth);
}

TEST_F(Frame, TheWorkingDrawingWrapsTheCurrentDocumentAndLeavesItOpen) {
    {
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        EXPECT_EQ(drawing->getDocument(), doc());
        EXPECT_EQ(drawing->lock(), Acad::eOk);
    }
    EXPECT_EQ(acDocManager->curDocument(), doc());
    EXPECT_EQ(doc()->lockCount(), 0);
    acDocManager->closeDocument(doc());
    try {
        kelmo::workingDrawing();
        ADD_FAILURE() << "no drawing is open";
    } catch (CEXKelmo* error) {
        EXPECT_EQ(error->getDescription(), CString(L"No drawing is open."));
        error->deleteException();
    }
}

} // namespace
