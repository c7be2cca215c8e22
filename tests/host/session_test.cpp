#include "HostSession.h"

#include "cad/app/ApDocument.h"
#include "cad/editor/EdInput.h"
#include "cad/app/RxRegistry.h"
#include "support/HostFixture.h"
#include "win/UiSink.h"

#include <gtest/gtest.h>

#include <sstream>

using kelmo_test::HostFixture;

namespace {

AcAp::DocLockMode g_seenLock = AcAp::kNone;
int g_seenInt = 0;
int g_seenRc = 0;
int g_seenBox = 0;

void modalCommand() {
    g_seenLock = acDocManager->curDocument()->lockMode();
}
void askCommand() {
    g_seenRc = acedGetInt(L"\nHow many: ", &g_seenInt);
}
void boxCommand() {
    g_seenBox = MessageBoxW(nullptr, L"Delete it?", L"Kelmo", 4 /* yes/no */);
}
void throwingCommand() {
    throw 42;
}
std::wstring g_seenFile;
bool g_seenChosen = false;
void fileCommand() {
    win::FileDialogRequest r;
    r.title = L"Select Report";
    g_seenFile.clear();
    g_seenChosen = win::uiSink().chooseFile(r, g_seenFile);
}

class Session : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        acedRegCmds()->addCommand(L"T_SESSION", L"tmodal", L"testModal", ACRX_CMD_MODAL, modalCommand);
        acedRegCmds()->addCommand(L"T_SESSION", L"tsession", L"testSession", ACRX_CMD_SESSION, modalCommand);
        acedRegCmds()->addCommand(L"T_SESSION", L"task", L"testAsk", ACRX_CMD_SESSION, askCommand);
        acedRegCmds()->addCommand(L"T_SESSION", L"tbox", L"testBox", ACRX_CMD_SESSION, boxCommand);
        acedRegCmds()->addCommand(L"T_SESSION", L"tthrow", L"testThrow", ACRX_CMD_SESSION, throwingCommand);
        acedRegCmds()->addCommand(L"T_SESSION", L"tfile", L"testFile", ACRX_CMD_SESSION, fileCommand);
    }
    void TearDown() override {
        acedRegCmds()->removeGroup(L"T_SESSION");
        HostFixture::TearDown();
    }
    // Runs the script in a session over the fixture's document; returns the exit status.
    int run(const std::string& script) {
        cadhost::Options o;
        std::istringstream in(script);
        cadhost::Session s(o, out, err);
        s.addInput(in, "test.scr", true);
        s.attach();
        s.loop();
        int status = s.exitStatus();
        s.finish();
        return status;
    }
    std::ostringstream out, err;
};

TEST_F(Session, ModalCommandsRunLockedSessionCommandsUnlocked) {
    EXPECT_EQ(run("tmodal\n"), 0);
    EXPECT_EQ(g_seenLock, AcAp::kAutoWrite);
    EXPECT_EQ(run("TESTSESSION\n"), 0);
    EXPECT_EQ(g_seenLock, AcAp::kNotLocked);
}

TEST_F(Session, PromptsReadTheFollowingLinesAndEndOfInputCancels) {
    // The refused answer is asked again; from a script it is a line not applied.
    EXPECT_EQ(run("task\nmany\n7\n"), 1);
    EXPECT_EQ(g_seenRc, RTNORM);
    EXPECT_EQ(g_seenInt, 7);
    EXPECT_NE(out.str().find("How many: many\n\nRequires an integer value.\nHow many: 7\n"), std::string::npos);
    EXPECT_NE(err.str().find("\"many\" is refused: Requires an integer value."), std::string::npos) << err.str();
    EXPECT_EQ(run("task 9 ; the answer on the command's line\n"), 0);
    EXPECT_EQ(g_seenInt, 9);
    EXPECT_EQ(run("task\n"), 0);
    EXPECT_EQ(g_seenRc, RTCAN);
}

TEST_F(Session, AnAnswerOrCommandHoldingNulIsRefusedAndTheNextLineTakesItsPlace) {
    // "4<NUL>2" once read as 4; "task<NUL>x" once ran task.
    EXPECT_EQ(run(std::string("task\n4\0002\n7\n", 11)), 1);
    EXPECT_EQ(g_seenInt, 7);
    EXPECT_NE(err.str().find("test.scr:2: the line holds a control character (NUL at column 2) and is refused"),
              std::string::npos)
        << err.str();
    g_seenRc = 0;
    EXPECT_EQ(run(std::string("task\0x\n", 7)), 1);
    EXPECT_EQ(g_seenRc, 0);
}

TEST_F(Session, MessageBoxesAreAnsweredFromInput) {
    EXPECT_EQ(run("tbox\nno\n"), 0);
    EXPECT_EQ(g_seenBox, 7);
    EXPECT_NE(out.str().find("[Kelmo] Delete it?"), std::string::npos);
    EXPECT_EQ(run("tbox\nok\nyes\n"), 1); // "ok" is no answer to a yes/no box
    EXPECT_EQ(g_seenBox, 6);
    EXPECT_NE(err.str().find("test.scr:2"), std::string::npos);
    EXPECT_EQ(run("tbox\n"), 0); // end of input: no
    EXPECT_EQ(g_seenBox, 7);
}

TEST_F(Session, FileDialogsTakeAPathOrCancel) {
    EXPECT_EQ(run("tfile\nC:\\reports\\a.xml\n"), 0);
    EXPECT_TRUE(g_seenChosen);
    EXPECT_EQ(g_seenFile, L"C:\\reports\\a.xml");
    EXPECT_NE(out.str().find("[Select Report] file name (or cancel): "), std::string::npos);
    EXPECT_EQ(run("tfile\n/tmp/b.xml\n"), 0);
    EXPECT_EQ(g_seenFile, L"Z:\\tmp\\b.xml"); // native paths reach the module in Windows form
    EXPECT_EQ(run("tfile\n\\\\server\\share\\c.xml\n"), 0);
    EXPECT_EQ(g_seenFile, L"\\\\server\\share\\c.xml"); // a network path is kept, not made relative
    EXPECT_EQ(run("tfile\ncancel\n"), 0);
    EXPECT_FALSE(g_seenChosen);
    EXPECT_EQ(run("tfile\n"), 0);
    EXPECT_FALSE(g_seenChosen);
}

TEST_F(Session, UnknownCommandsStrayAnswersAndFailuresSetTheExitStatus) {
    EXPECT_EQ(run("; nothing but a comment\n\n*Cancel*\n"), 0);
    EXPECT_EQ(run("nosuchcommand\n"), 1);
    EXPECT_NE(out.str().find("Unknown command \"NOSUCHCOMMAND\".  See cadhost --help."), std::string::npos);
    EXPECT_NE(err.str().find("test.scr:1: unknown command \"nosuchcommand\""), std::string::npos);
    EXPECT_EQ(run("yes\n"), 1);
    EXPECT_EQ(run("tthrow\n"), 1);
    EXPECT_EQ(run("SAVEAS\n"), 1);
    EXPECT_EQ(run("dlg list\n"), 0);
    EXPECT_EQ(run("dlg click 1\n"), 1); // no dialog is open
    EXPECT_EQ(run("OPEN /nonexistent/plan.dxf\n"), 1);
    EXPECT_EQ(run("PLOT out.dwf\n"), 1);
}

TEST_F(Session, OutputThatCannotBeWrittenFailsTheRun) {
    cadhost::Options o;
    o.moduleGiven = true; // no module: the host on its own
    std::istringstream in("tmodal\n");
    std::ostringstream lost;
    lost.setstate(std::ios::badbit);
    cadhost::Session s(o, lost, err);
    s.addInput(in, "test.scr", true);
    EXPECT_EQ(s.run(), 1);
    EXPECT_NE(err.str().find("could not be written"), std::string::npos);
}

TEST_F(Session, QuitStopsReadingAndCloseClosesTheCurrentDrawing) {
    EXPECT_EQ(run("QUIT\nnosuchcommand\n"), 0);
    AcApDocument* second = host->addDocument(L"Z:\\tmp\\b.dxf");
    ASSERT_EQ(acDocManager->curDocument(), second);
    cadhost::Options o;
    std::istringstream in("CLOSE\n");
    cadhost::Session s(o, out, err);
    s.addInput(in, "t", false);
    s.attach();
    s.loop();
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(acDocManager->curDocument(), doc());
    s.finish();
}

} // namespace
