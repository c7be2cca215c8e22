// The diagnostics commands and the frame's failure clauses.
#include <gtest/gtest.h>

#include <string>

#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "core/KelmoExceptions.h"
#include "support/EntryFixture.h"

namespace {

namespace fs = std::filesystem;

class Diagnostics : public kelmo_test::ModuleFixture {
protected:
    size_t count(const std::wstring& text, const std::wstring& part) const {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }
    bool printed(const std::wstring& line) const { return host->commandLine().find(line) != std::wstring::npos; }
};

const std::wstring basicLines = L"basic test - output to commandline\nbasic test successful\nbasic test completed\n";

std::wstring errorLines(wchar_t which) {
    return std::wstring(L"Error Test ") + which +
           L" - throws test error\nthe error has been handled - diagnostics\nkelmo error handled successfully\n"
           L"error handling test completed\n";
}

TEST_F(Diagnostics, OutputAndErrorTestsPrintTheirLines) {
    diagnosticBasic();
    EXPECT_EQ(host->commandLine(), basicLines);
    host->clearCommandLine();
    diagnosticErrorsA();
    diagnosticErrorsB();
    EXPECT_EQ(host->commandLine(), errorLines(L'A') + errorLines(L'B'));
    host->clearCommandLine();
    diagnosticErrorsC();
    diagnosticErrorsD();
    test();
    EXPECT_EQ(host->commandLine(), L"Error Test C - retrieve function name\nfunction diagnosticErrorsC\nfile Brenvik\n");
    EXPECT_TRUE(host->messageBoxes().empty());
}

TEST_F(Diagnostics, UserInputTestTakesEachKindOfAnswer) {
    host->answers({L"0", L"2.5", L"12", L"some text"});
    diagnosticUserInput();
    const std::wstring out = host->commandLine();
    EXPECT_EQ(out.rfind(L"user input test - tests boolean, double, integer, string input\n", 0), 0u) << out;
    // The host's print knows no "%b": the line shows it as it stands.
    EXPECT_TRUE(printed(L"boolean user input test successful - %b\n")) << out;
    EXPECT_TRUE(printed(L"decimal user input test successful - 2.500\n")) << out;
    EXPECT_TRUE(printed(L"integer user input test successful - 12\n")) << out;
    EXPECT_TRUE(printed(L"text user input test successful - some text\n")) << out;
    EXPECT_TRUE(printed(L"testing decimal input. Type a decimal number and then enter <1.001>:")) << out;
    EXPECT_TRUE(printed(L"testing integer input. Type an integer(whole) number and then enter <27>:")) << out;
    EXPECT_TRUE(printed(L"testing text input. Type some text and then enter <diagnosis>:")) << out;
    EXPECT_EQ(out.substr(out.size() - 25), L"user input test finished\n");
}

TEST_F(Diagnostics, UserInputTestKeepsTheDefaultsOnEnter) {
    host->answers({L"", L"", L"", L""});
    diagnosticUserInput();
    EXPECT_TRUE(printed(L"decimal user input test successful - 1.001\n")) << host->commandLine();
    EXPECT_TRUE(printed(L"integer user input test successful - 27\n"));
    EXPECT_TRUE(printed(L"text user input test successful - diagnosis\n"));
}

TEST_F(Diagnostics, XmlTestWritesItsFileAndReplacesAnOldOne) {
    host->answer(L"");  // the default path, at the root of the C drive
    diagnosticXML();
    EXPECT_TRUE(printed(L"xml test - outputs xml file to specified location\n"));
    EXPECT_TRUE(printed(L"please enter output file path <c:\\kelmoDiagnosis.xml>:"));
    EXPECT_TRUE(printed(L"xml test completed successfully\n"));
    const std::string xml = slurp(host->tempDir() / "c" / "kelmoDiagnosis.xml");
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
    EXPECT_NE(xml.find("<root xmlns=\"http://schemas.kelmo.net/Ostrel\"><name>value</name></root>"),
              std::string::npos)
        << xml;

    host->answer(L"C:\\kelmoDiagnosis.xml");
    diagnosticXML();
    const std::string again = slurp(host->tempDir() / "c" / "kelmoDiagnosis.xml");
    EXPECT_EQ(again, xml);  // one "name" child, not two
    EXPECT_TRUE(host->messageBoxes().empty());
}

TEST_F(Diagnostics, XmlTestInAMissingFolderShowsOneErrorBoxNamingTheCommand) {
    host->answer(L"C:\\no such folder\\out.xml");
    diagnosticXML();
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    const kelmo_test::MessageBoxCall& box = host->messageBoxes()[0];
    EXPECT_EQ(box.caption, L"Error Detected.");
    EXPECT_EQ(box.text.rfind(L"Brenvik::diagnosticXML\n\t", 0), 0u) << box.text;
    EXPECT_FALSE(printed(L"xml test completed successfully\n"));
    EXPECT_FALSE(fs::exists(host->tempDir() / "c" / "no such folder"));
}

TEST_F(Diagnostics, AllRunsEveryTestButTheDialogInOrder) {
    host->answers({L"1", L"", L"", L"", L""});
    diagnosticAll();
    const std::wstring out = host->commandLine();
    const size_t basic = out.find(basicLines);
    const size_t a = out.find(errorLines(L'A'));
    const size_t b = out.find(errorLines(L'B'));
    const size_t c = out.find(L"function diagnosticErrorsC\n");
    const size_t d = out.find(L"file Brenvik\n");
    const size_t input = out.find(L"user input test finished\n");
    const size_t xml = out.find(L"xml test completed successfully\n");
    EXPECT_EQ(basic, 0u) << out;
    EXPECT_LT(basic, a);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
    EXPECT_LT(d, input);
    EXPECT_LT(input, xml);
    EXPECT_NE(xml, std::wstring::npos);
    EXPECT_TRUE(host->fileDialogs().empty());
    EXPECT_EQ(out.find(L"dialog test"), std::wstring::npos);
}

TEST_F(Diagnostics, DialogTestShowsTheFileDialogAndIgnoresTheChoice) {
    host->answerFileDialog(L"C:\\whatever.txt");
    diagnosticDialog();
    EXPECT_EQ(host->commandLine(), L"dialog test - opens browse for file dialog\ndialog test completed\n");
    ASSERT_EQ(host->fileDialogs().size(), 1u);
    EXPECT_EQ(host->fileDialogs()[0].filter, L"All Files (*.*)|*.*||");
}

// The frame's clauses, in a handler of the same source file.
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

TEST_F(Frame, AModuleExceptionGivesOneErrorBoxNamingTheHandler) {
    const size_t depth = acDocManager->resourceDepth();
    failingHandler(0);
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].caption, L"Error Detected.");
    EXPECT_EQ(host->messageBoxes()[0].text, L"Brenvik::failingHandler\n\tInner::Inner::work\n\ninner trouble");
    EXPECT_EQ(host->commandLine(), L"");
    EXPECT_EQ(acDocManager->resourceDepth(), depth);
}

TEST_F(Frame, AnyOtherFailurePrintsTheHandlersLineAndReleasesWhatItCaught) {
    failingHandler(1);
    failingHandler(2);
    EXPECT_TRUE(host->messageBoxes().empty());
    EXPECT_EQ(host->commandLine(), L"\nUnhandled Error - Test Failed\n\nUnhandled Error - Test Failed\n");
}

TEST_F(Frame, TheTitleLineCarriesTheVersion) {
    kelmo::printTitle(L"Block Edit");
    EXPECT_EQ(host->commandLine(), L"Kelmo Block Edit 64.04.00.01\n");
}

TEST_F(Frame, TheWorkingDrawingWrapsTheCurrentDocumentAndLeavesItOpen) {
    {
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        EXPECT_EQ(drawing->getDocument(), doc());
        EXPECT_EQ(drawing->getDrawingOpen(), 1);
        EXPECT_EQ(drawing->lock(), Acad::eOk);
    }
    EXPECT_EQ(acDocManager->curDocument(), doc());
    EXPECT_EQ(doc()->lockCount(), 0);  // a lock left by the command is released with it
}

TEST_F(Frame, NoOpenDrawingIsAModuleException) {
    acDocManager->closeDocument(doc());
    ASSERT_EQ(acDocManager->curDocument(), nullptr);
    EXPECT_THROW(
        {
            try {
                kelmo::workingDrawing();
            } catch (CEXKelmo* error) {
                EXPECT_EQ(error->getDescription(), CString(L"No drawing is open."));
                error->deleteException();
                throw;
            }
        },
        CEXKelmo*);
}

} // namespace
