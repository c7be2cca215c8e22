// The exception chain: how it is built by the catch convention, shown, serialised and freed.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "CoreTestSupport.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Log.h"

KELMO_SOURCE_FILE(L"C:\\dev\\kelmo\\Brenvik.cpp");

namespace {

// updateSpaces -> CPreferences::loadPreferences -> the first failure.
CEXKelmo* threeLevelChain() {
    CEXKelmo* first =
        new CEXCustom(L"The first failure.", KELMO_BANNER, L"Utilities.cpp", L"CUtilities::parse", 0, nullptr);
    CEXKelmo* second =
        new CEXUnhandled(KELMO_BANNER, L"C:\\src\\core\\Preferences.cpp", L"CPreferences::loadPreferences", 0, first);
    return new CEXUnhandled(KELMO_BANNER, L"Brenvik", L"updateSpaces", 0, second);
}

TEST(ExceptionChain, MessageBoxShowsEveryLevelIndentedAndOnlyTheInnermostDescription) {
    coretest::BoxRecorder recorder;
    CEXKelmo* chain = threeLevelChain();
    chain->reportToMessageBox();
    chain->deleteException();
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].caption, L"Error Detected.");
    EXPECT_EQ(recorder.boxes[0].type, 16u);
    EXPECT_EQ(recorder.boxes[0].text,
              L"Brenvik::updateSpaces\n"
              L"\tPreferences::CPreferences::loadPreferences\n"
              L"\t\tUtilities::CUtilities::parse\n"
              L"\n"
              L"The first failure.");
}

TEST(ExceptionChain, CommandLineShowsOnlyMethodNames) {
    coretest::clearCommandLine();
    CEXKelmo* chain = threeLevelChain();
    chain->reportToCommandLine();
    chain->deleteException();
    EXPECT_EQ(coretest::commandLineText(),
              L"updateSpaces\n"
              L"\tCPreferences::loadPreferences\n"
              L"\t\tCUtilities::parse\n"
              L"\n"
              L"The first failure.\n");
}

TEST(ExceptionChain, SingleExceptionGivesItsNameAnEmptyLineAndItsDescription) {
    CEXInvalidHandle single(L"1A2B", KELMO_BANNER, L"PresBrenvik.cpp", L"CPresBrenvik::OnCmdSelect");
    EXPECT_EQ(single.getMessageBoxText(), CString(L"PresBrenvik::CPresBrenvik::OnCmdSelect\n\nInvalid Handle - 1A2B"));
    EXPECT_EQ(single.getSeverity(), 1);
    EXPECT_EQ(single.getLine(), 0);
    // Text beyond ASCII reaches the box unchanged.
    coretest::BoxRecorder recorder;
    CEXCustom area(L"Fl\u00e4che 12 m\u00b2", KELMO_BANNER, L"Block.cpp", L"CBlock::area", 0, nullptr);
    area.reportToMessageBox();
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, L"Block::CBlock::area\n\nFl\u00e4che 12 m\u00b2");
}

TEST(ExceptionChain, SourceFileNamesLoseFolderAndExactExtension) {
    EXPECT_EQ(CEXKelmo::stripFileName(L"C:\\dev\\kelmo\\core\\Preferences.cpp"), CString(L"Preferences"));
    EXPECT_EQ(CEXKelmo::stripFileName(L"C:\\dev\\Preferences.CPP"), CString(L"Preferences.CPP"));
    EXPECT_EQ(CEXKelmo::stripFileName(L"Preferences.cpp"), CString(L"Preferences"));
    EXPECT_EQ(CEXKelmo::stripFileName(L"Brenvik"), CString(L"Brenvik"));
}

TEST(ExceptionChain, SeverityTexts) {
    const struct {
        int severity;
        const wchar_t* text;
    } cases[] = {{0, L"low"}, {1, L"medium"}, {2, L"high"}, {7, L"high"}, {-1, L"high"}};
    for (const auto& c : cases) {
        CEXUnhandled error(_com_error(E_FAIL, win::makeErrorInfo(L"Timeout expired", L"PostgreSQL")), KELMO_BANNER,
                           L"StoredProcedure.cpp", L"CStoredProcedure::execSPReturnParas", c.severity);
        EXPECT_EQ(error.getSeverityText(), CString(c.text));
        EXPECT_EQ(error.getSource(), CString(L"PostgreSQL"));
        EXPECT_EQ(error.getDescription(), CString(L"Timeout expired"));
    }
}

TEST(ExceptionChain, ComErrorDescriptionsAreCutNotOverrun) {
    std::wstring longText(5000, L'd');
    const CString described =
        CEXKelmo::describeComError(_com_error(E_FAIL, win::makeErrorInfo(longText, L"PostgreSQL")));
    EXPECT_EQ(described.Left(28), CString(L"COM Error HRESULT 0x80004005"));
    const int start = described.Find(L"_com_error::Description() = ");
    ASSERT_GE(start, 0);
    const int end = described.Find(L"\n", start);
    EXPECT_EQ(end - start, 1023);
    EXPECT_GE(described.Find(L"_com_error::Source() = PostgreSQL"), 0);
    EXPECT_GE(CEXKelmo::describeComError(_com_error(E_FAIL)).Find(L"No IErrorInfo Interface present\n"), 0);
    EXPECT_EQ(CEXKelmo::getWin32ErrorText(5), CString(L"Access is denied.\r\n"));
}

TEST(ExceptionChain, AFailedConnectionCarriesItsErrorsInnermostFirst) {
    _ConnectionPtr connection;
    connection.CreateInstance(L"ADODB.Connection");
    try {
        connection->Open(
            L"Provider=SQLOLEDB;Data Source=/nonexistent/socket/folder;Initial Catalog=register;"
            L"User Id=planner;Password=secret;");
    } catch (const _com_error&) {
        // the errors stay on the connection
    }
    ASSERT_GE(connection->GetErrors()->GetCount(), 1);
    CEXConnection error(connection, KELMO_BANNER, L"DataServices.cpp", L"CDataServices::connect");
    EXPECT_EQ(error.getDescription().Left(39), CString(L"An error occurred whilst connecting to "));
    int levels = 0;
    for (CEXKelmo* inner = error.getInnerException(); inner != nullptr; inner = inner->getInnerException()) {
        EXPECT_FALSE(inner->getDescription().IsEmpty());
        EXPECT_EQ(inner->getProcSig(), CString(L"CDataServices::connect"));
        ++levels;
    }
    EXPECT_EQ(levels, connection->GetErrors()->GetCount());
}

TEST(ExceptionChain, HostStatusNamesTheLineTheStatusAndTheDrawing) {
    CEXUnhandled plain(Acad::eLockViolation, KELMO_BANNER, L"AcadDrawing.cpp", L"CAcadDrawing::lock", 373, L"",
                       nullptr);
    EXPECT_EQ(plain.getDescription(), CString(L"The following AutoCAD error occurred on line#373: ") +
                                          CString(acadErrorStatusText(Acad::eLockViolation)) + L".");
    EXPECT_EQ(plain.getLine(), 373);
    CEXUnhandled named(Acad::eLockViolation, KELMO_BANNER, L"AcadDrawing.cpp", L"CAcadDrawing::lock", 373,
                       L"Z:\\plans\\a.dxf", nullptr);
    EXPECT_EQ(named.getDescription(), CString(L"The following AutoCAD error occurred on line#373: ") +
                                          CString(acadErrorStatusText(Acad::eLockViolation)) +
                                          L", whilst processing drawing Z:\\plans\\a.dxf.");
}

// --- the catch convention -------------------------------------------------------------------------------

void throwsFileError(unsigned kinds) {
    KELMO_TRY
        throw new CFileException(CFileException::accessDenied, 5, L"C:\\plans\\a.dxf");
    KELMO_CATCH_ALSO(L"CTest::throwsFileError", kinds)
}

void throwsStandard(unsigned kinds) {
    KELMO_TRY
        throw std::runtime_error("out of range");
    KELMO_CATCH_ALSO(L"CTest::throwsStandard", kinds)
}

void runsOutOfMemory(unsigned kinds) {
    KELMO_TRY
        throw std::bad_alloc();
    KELMO_CATCH_ALSO(L"CTest::runsOutOfMemory", kinds)
}

void wrapsTwice() {
    KELMO_TRY
        throwsFileError(kelmo::catchClassLib);
    KELMO_CATCH(L"CTest::wrapsTwice")
}

// The description the wrapper of a failure gets.
CString wrappedDescription(void (*fails)(unsigned), unsigned kinds) {
    try {
        fails(kinds);
    } catch (CEXKelmo* error) {
        const CString description = error->getDescription();
        EXPECT_EQ(error->getInnerException(), nullptr);
        error->deleteException();
        return description;
    }
    ADD_FAILURE() << "nothing thrown";
    return CString();
}

TEST(CatchConvention, ModuleExceptionsBecomeTheInnerLevel) {
    try {
        wrapsTwice();
        FAIL();
    } catch (CEXKelmo* error) {
        EXPECT_EQ(error->getProcSig(), CString(L"CTest::wrapsTwice"));
        EXPECT_EQ(error->getClass(), CString(L"Brenvik"));
        EXPECT_EQ(error->getSource(), CString(KELMO_BANNER));
        EXPECT_EQ(error->getDescription(), CString(L"unhandled error"));
        ASSERT_NE(error->getInnerException(), nullptr);
        EXPECT_EQ(error->getInnerException()->getProcSig(), CString(L"CTest::throwsFileError"));
        error->deleteException();
    }
}

TEST(CatchConvention, OtherLibrariesGiveTheirMessageOnlyWhenAskedFor) {
    const CString fileMessage = wrappedDescription(throwsFileError, kelmo::catchClassLib);
    EXPECT_FALSE(fileMessage.IsEmpty());
    EXPECT_NE(fileMessage, CString(L"unhandled error"));
    EXPECT_EQ(wrappedDescription(throwsFileError, kelmo::catchModule), CString(L"unhandled error"));
    EXPECT_EQ(wrappedDescription(throwsStandard, kelmo::catchStd), CString(L"out of range"));
    EXPECT_EQ(wrappedDescription(throwsStandard, kelmo::catchModule), CString(L"unhandled error"));
}

TEST(CatchConvention, MemoryRunningOutIsNamedWhateverIsCaught) {
    for (unsigned kinds : {kelmo::catchModule, kelmo::catchStd, kelmo::catchClassLib})
        EXPECT_EQ(wrappedDescription(runsOutOfMemory, kinds), CString(L"there is not enough memory")) << kinds;
}

TEST(CatchConvention, TopOfTheRoadShowsTheChainAndCarriesOn) {
    coretest::BoxRecorder recorder;
    KELMO_TRY
        wrapsTwice();
    KELMO_CATCH_REPORT(L"updateSpaces", kelmo::catchClassLib)
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text.substr(0, 40), std::wstring(L"Brenvik::updateSpaces\n\tBrenvik::CTest::w"));
}

TEST(CatchConvention, ClassLibraryMessagesAreCutAt255Characters) {
    const CString longName = CString(L"C:\\") + CString(L'x', 600);
    CFileException error(CFileException::fileNotFound, 2, longName);
    CEXUnhandled wrapper(&error, KELMO_BANNER, L"Log.cpp", L"CLog::outputToFile", 0, nullptr);
    EXPECT_EQ(wrapper.getDescription().GetLength(), 254);
}

// --- warnings --------------------------------------------------------------------------------------------

TEST(Warnings, DensityTextsShowTheScaleWithTwoDecimals) {
    CEXHatchNotDenseEnough sparse(L"Room 1", L"ANSI31", 500.0, KELMO_BANNER, L"Hatch.cpp", L"CHatch::apply");
    EXPECT_EQ(sparse.getDescription(),
              CString(L"Unable to hatch Room 1. ANSI31 set at scale 500.00 is not dense enough to be displayed."));
    EXPECT_EQ(sparse.getSeverity(), 1);
    CEXHatchTooDense dense(L"Room 1", L"ANSI31", 0.125, KELMO_BANNER, L"Hatch.cpp", L"CHatch::apply");
    EXPECT_EQ(dense.getDescription(),
              CString(L"Unable to hatch Room 1. ANSI31 set at scale 0.13is too dense to be displayed."));
    CEXHatchPolylineNotClosed open(L"ROOM-1", L"2F", KELMO_BANNER, L"Hatch.cpp", L"CHatch::apply");
    EXPECT_EQ(open.getDescription(),
              CString(L"Unable to hatch Kelmo Block: ROOM-1. Handle: 2F. Please check the polyline is closed."));
    EXPECT_EQ(open.getSeverity(), 2);
}

TEST(Warnings, EachWarningGetsItsOwnBoxInOrderAndTheListRefills) {
    coretest::BoxRecorder recorder;
    CKelmoExceptions warnings;
    warnings.reportToMessageBox();
    EXPECT_TRUE(recorder.boxes.empty());
    warnings.add(new CEXHatchAdditionalAreas(L"A", KELMO_BANNER, L"Hatch.cpp", L"CHatch::one"));
    warnings.add(new CEXHatchNoHatchAreas(L"B", KELMO_BANNER, L"Hatch.cpp", L"CHatch::two"));
    warnings.add(new CEXHatchAroundAttributes(L"C", L"1F", KELMO_BANNER, L"Hatch.cpp", L"CHatch::three"));
    warnings.reportToMessageBox();
    ASSERT_EQ(recorder.boxes.size(), 3u);
    EXPECT_EQ(recorder.boxes[0].text,
              L"Hatch::CHatch::one\n\nUnable to apply additional hatch areas to Kelmo Block: A.");
    EXPECT_EQ(recorder.boxes[1].text, L"Hatch::CHatch::two\n\nUnable to apply no hatch areas to Kelmo Block: B.");
    EXPECT_EQ(recorder.boxes[2].text,
              L"Hatch::CHatch::three\n\nUnable to hatch around attributes: C. Handle: 1F. "
              L"Please check the Kelmo block.");
    EXPECT_EQ(warnings.getCount(), 3); // reporting does not empty the list
    warnings.deleteObjects();
    EXPECT_EQ(warnings.getCount(), 0);
    warnings.add(threeLevelChain());
    EXPECT_EQ(warnings.getCount(), 1);
    EXPECT_EQ(warnings.getAt(0)->getProcSig(), CString(L"updateSpaces"));
    // The list's destructor frees the chain.
}

// --- XML form and error log --------------------------------------------------------------------------------

CString text(const _bstr_t& value) {
    return static_cast<const wchar_t*>(value);
}

CString childName(const IXMLDOMNodePtr& node, long index) {
    return text(node->GetchildNodes()->Getitem(index)->GetnodeName());
}

TEST(ExceptionXml, ChainSerialisesInTheErrorsNamespaceWithTimeAndInnerLevels) {
    CEXKelmo* chain = threeLevelChain();
    IXMLDOMNodePtr error = chain->serialize();
    chain->deleteException();
    const CString ns = CString(KELMO_NAMESPACE_URI) + L"/errors";
    EXPECT_EQ(text(error->GetnodeName()), CString(L"error"));
    EXPECT_EQ(text(error->GetnamespaceURI()), ns);
    ASSERT_EQ(error->GetchildNodes()->Getlength(), 7);
    const wchar_t* names[] = {L"date", L"class", L"procSig", L"source", L"description", L"severity", L"innerException"};
    for (long i = 0; i < 7; ++i) {
        EXPECT_EQ(childName(error, i), CString(names[i]));
    }
    EXPECT_EQ(text(error->GetchildNodes()->Getitem(1)->Gettext()), CString(L"Brenvik"));
    EXPECT_EQ(text(error->GetchildNodes()->Getitem(5)->Gettext()), CString(L"high"));
    // innerException -> error -> ... -> innerException -> error (the first failure, no inner)
    IXMLDOMNodePtr second = error->GetchildNodes()->Getitem(6)->GetfirstChild();
    EXPECT_EQ(text(second->GetnodeName()), CString(L"error"));
    IXMLDOMNodePtr first = second->GetchildNodes()->Getitem(6)->GetfirstChild();
    EXPECT_EQ(first->GetchildNodes()->Getlength(), 6);
    EXPECT_EQ(text(first->GetchildNodes()->Getitem(4)->Gettext()), CString(L"The first failure."));
}

TEST(ExceptionXml, ErrorLogIsCreatedThenAppended) {
    coretest::TempCDrive drive;
    coretest::clearCommandLine();
    CEXKelmo* chain = threeLevelChain();
    chain->reportToErrorLog(L"C:\\errors.xml");
    chain->reportToErrorLog(L"C:\\errors.xml");
    chain->deleteException();
    const std::string xml = coretest::readBytes(drive.native("errors.xml"));
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
    EXPECT_NE(xml.find("<?xml-stylesheet type=\"text/xsl\" href=\"errorLog.xsl\"?>"), std::string::npos);
    EXPECT_NE(xml.find("<errors xmlns=\"http://schemas.kelmo.net/errors\">"), std::string::npos);
    std::size_t outer = 0;
    for (std::size_t at = xml.find("<procSig>updateSpaces</procSig>"); at != std::string::npos;
         at = xml.find("<procSig>updateSpaces</procSig>", at + 1)) {
        ++outer;
    }
    EXPECT_EQ(outer, 2u);
    EXPECT_EQ(coretest::commandLineText(),
              L"An error has been detected in updateSpaces. Please consult the error log\n"
              L"An error has been detected in updateSpaces. Please consult the error log\n");
}

TEST(ExceptionXml, AnUnreadableErrorLogIsLeftAloneAndNothingIsClaimed) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("errors.xml"), "<errors><unclosed>");
    coretest::writeBytes(drive.native("other.xml"), "<?xml version=\"1.0\"?><other/>");
    coretest::clearCommandLine();
    CEXKelmo* chain = threeLevelChain();
    chain->reportToErrorLog(L"C:\\errors.xml");
    chain->reportToErrorLog(L"C:\\other.xml");
    chain->deleteException();
    EXPECT_EQ(coretest::readBytes(drive.native("errors.xml")), "<errors><unclosed>");
    EXPECT_EQ(coretest::readBytes(drive.native("other.xml")), "<?xml version=\"1.0\"?><other/>");
    EXPECT_EQ(coretest::commandLineText(), L"");
}

} // namespace
