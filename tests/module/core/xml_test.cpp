// XML helpers, the logs and the server-preference records.
#include <gtest/gtest.h>

#include "CoreTestSupport.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Log.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/XMLUtilities.h"

namespace {

CString nameOf(const IXMLDOMNodePtr& node) {
    return static_cast<const wchar_t*>(node->GetnodeName());
}

CString textOf(const IXMLDOMNodePtr& node) {
    return static_cast<const wchar_t*>(node->Gettext());
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(XmlHelpers, NewFileHoldsOnlyTheDeclarationAndAnEmptyRoot) {
    coretest::TempCDrive drive;
    {
        CXMLUtilities xml;
        xml.createXMLDoc(L"C:\\plain.xml", L"", L"root", L"");
        xml.createXMLDoc(L"C:\\styled.xml", L"report.xsl", L"graphicReport", L"http://schemas.kelmo.net/Ostrel");
    }
    const std::string plain = coretest::readBytes(drive.native("plain.xml"));
    EXPECT_EQ(plain.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << plain;
    EXPECT_EQ(plain.find("xml-stylesheet"), std::string::npos);
    EXPECT_EQ(plain.find("xmlns"), std::string::npos);
    EXPECT_NE(plain.find("<root/>"), std::string::npos) << plain;
    const std::string styled = coretest::readBytes(drive.native("styled.xml"));
    const std::size_t declaration = styled.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    const std::size_t stylesheet = styled.find("<?xml-stylesheet type=\"text/xsl\" href=\"report.xsl\"?>");
    const std::size_t root = styled.find("<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"/>");
    EXPECT_EQ(declaration, 0u) << styled;
    ASSERT_NE(stylesheet, std::string::npos) << styled;
    ASSERT_NE(root, std::string::npos) << styled;
    EXPECT_LT(stylesheet, root);
}

TEST(XmlHelpers, TimeNodeHoldsSixFieldsInOrder) {
    CXMLUtilities xml;
    COleDateTime time(2014, 3, 5, 9, 7, 3);
    IXMLDOMNodePtr date = xml.createUniversalTimeNode(L"urn:t", time);
    EXPECT_EQ(nameOf(date), CString(L"date"));
    IXMLDOMNodeListPtr fields = date->GetchildNodes();
    ASSERT_EQ(fields->Getlength(), 6);
    const wchar_t* names[] = {L"year", L"month", L"day", L"hour", L"minute", L"second"};
    const wchar_t* values[] = {L"2014", L"3", L"5", L"9", L"7", L"3"};
    for (long i = 0; i < 6; ++i) {
        EXPECT_EQ(nameOf(fields->Getitem(i)), CString(names[i]));
        EXPECT_EQ(textOf(fields->Getitem(i)), CString(values[i]));
    }
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    IXMLDOMNodePtr bad = xml.createUniversalTimeNode(L"urn:t", invalid);
    EXPECT_EQ(textOf(bad->GetchildNodes()->Getitem(0)), CString(L"-1"));
}

// --- logs --------------------------------------------------------------------------------------------

TEST(Logs, DebugEntriesAreAppendedWithTimeDescriptionAndNode) {
    coretest::TempCDrive drive;
    CLog log;
    log.writeToXMLDebugLog(L"C:\\debug.xml", L"execSPReturnParas", IXMLDOMNodePtr());
    CXMLUtilities xml;
    log.writeToXMLDebugLog(L"C:\\debug.xml", L"second", xml.createNode(L"storedProcedure", L"x", L"urn:p"));
    const std::string text = coretest::readBytes(drive.native("debug.xml"));
    EXPECT_NE(text.find("<?xml-stylesheet type=\"text/xsl\" href=\"debugLog.xsl\"?>"), std::string::npos) << text;
    EXPECT_NE(text.find("<debugging xmlns=\"http://schemas.kelmo.net/debugging\">"), std::string::npos) << text;
    EXPECT_EQ(count(text, "<error xmlns=\"http://schemas.kelmo.net/errors\">"), 2) << text;
    EXPECT_EQ(count(text, "<storedProcedure"), 1) << text;
    EXPECT_LT(text.find("<description>execSPReturnParas</description>"),
              text.find("<description>second</description>"));
}

TEST(Logs, ADebugLogWithoutARootRaisesTheInvalidFileError) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("debug.xml"), "not xml at all");
    CLog log;
    try {
        log.writeToXMLDebugLog(L"C:\\debug.xml", L"entry", IXMLDOMNodePtr());
        FAIL();
    } catch (CEXKelmo* error) {
        EXPECT_EQ(error->getProcSig(), CString(L"CLog::writeToXMLDebugLog"));
        ASSERT_NE(error->getInnerException(), nullptr);
        EXPECT_EQ(error->getInnerException()->getDescription(), CString(L"Invalid XML file - C:\\debug.xml"));
        error->deleteException();
    }
    EXPECT_EQ(coretest::readBytes(drive.native("debug.xml")), "not xml at all");
}

TEST(Logs, TextLinesAreAppendedWithATimeStamp) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("log.txt"), "first line\r\n");
    CLog log;
    log.outputToFile(L"C:\\log.txt", L"second line");
    log.outputToFile(L"C:\\new.txt", L"only line");
    const std::string text = coretest::readBytes(drive.native("log.txt"));
    ASSERT_EQ(text.rfind("first line\r\n", 0), 0u);
    const std::string added = text.substr(12);
    // "06 Dec 2026 14:05:09\tsecond line\r\n"
    ASSERT_EQ(added.size(), 20u + 1 + 11 + 2) << added;
    EXPECT_EQ(added[2], ' ');
    EXPECT_EQ(added[6], ' ');
    EXPECT_EQ(added[14], ':');
    EXPECT_EQ(added.substr(20), "\tsecond line\r\n");
    EXPECT_EQ(coretest::readBytes(drive.native("new.txt")).substr(20), "\tonly line\r\n");
}

// --- server preferences --------------------------------------------------------------------------------

TEST(ServerPreferences, EntriesReadInDocumentOrderWithDefaultsAndFlags) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("ostrel.xml"),
                         "<?xml version=\"1.0\"?>\n"
                         "<ostrelPreferences>\n"
                         "  <server>\n"
                         "    <acadErrorLogFilePath>C:\\logs\\acad.xml</acadErrorLogFilePath>\n"
                         "    <dbTimeout>30</dbTimeout>\n"
                         "    <runAcadService>true</runAcadService>\n"
                         "    <applyCachePlotSettings>1</applyCachePlotSettings>\n"
                         "    <cachePlotScaleTypeID>19</cachePlotScaleTypeID>\n"
                         "    <cachePlotMediaNameID>89</cachePlotMediaNameID>\n"
                         "    <cachePlotTypeID>2</cachePlotTypeID>\n"
                         "    <monitorReports>1</monitorReports>\n"
                         "    <ReportsBatchSize>7</ReportsBatchSize>\n"
                         "    <unknownSetting>x</unknownSetting>\n"
                         "  </server>\n"
                         "  <emptyServer/>\n"
                         "  <server>\n"
                         "    <dbDatasource>second</dbDatasource>\n"
                         "    <cachePlotCentred>0</cachePlotCentred>\n"
                         "    <graphRepOutPath></graphRepOutPath>\n"
                         "    <dbUserID/>\n"
                         "    <dbPassword>after the empty ones</dbPassword>\n"
                         "  </server>\n"
                         "</ostrelPreferences>\n");
    CPreferencesOstrel list;
    list.deSerialize(L"C:\\ostrel.xml");
    ASSERT_EQ(list.getCount(), 2);
    CServerPreferenceOstrel* first = list.getAt(0);
    EXPECT_EQ(first->getAcadErrorLogFilePath(), CString(L"C:\\logs\\acad.xml"));
    EXPECT_EQ(first->getDbTimeout(), 30);
    EXPECT_EQ(first->getRunAcadService(), 0);
    EXPECT_EQ(first->getApplyCachePlotSettings(), 1);
    EXPECT_EQ(first->getCachePlotScaleType(), 20);
    EXPECT_EQ(first->getCachePlotMediaName(), 0);
    EXPECT_EQ(first->getCachePlotPC3Device(), 2);
    EXPECT_EQ(first->getCachePlotCentred(), 1);
    EXPECT_EQ(first->getCachePlotAreaType(), 1);
    EXPECT_EQ(first->getMonitor(1), 1);
    EXPECT_EQ(first->getBatchSize(1), 7);
    EXPECT_EQ(first->getWaitPeriodSecs(1), 10);
    EXPECT_EQ(first->getBatchSize(0), 25);
    CServerPreferenceOstrel* second = list.getAt(1);
    EXPECT_EQ(second->getDbDatasource(), CString(L"second"));
    EXPECT_EQ(second->getCachePlotCentred(), 0);
    EXPECT_EQ(second->getGraphRepOutPath(), CString(L""));
    EXPECT_EQ(second->getDbPassword(), CString(L"after the empty ones"));
}

TEST(ServerPreferences, FilesThatDoNotLoadOrHaveAnotherRootAddNothing) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("other.xml"), "<settings><server><dbTimeout>3</dbTimeout></server></settings>");
    coretest::writeBytes(drive.native("broken.xml"), "<ostrelPreferences><server>");
    CPreferencesOstrel list;
    list.deSerialize(L"C:\\other.xml");
    list.deSerialize(L"C:\\broken.xml");
    list.deSerialize(L"C:\\missing.xml");
    EXPECT_EQ(list.getCount(), 0);
}

TEST(ServerPreferences, DumpPrintsEachEntrysPlotSettings) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("ostrel.xml"),
                         "<ostrelPreferences><server>"
                         "<dbDatasource>plans01</dbDatasource>"
                         "<cacheOutPath>C:\\cache</cacheOutPath>"
                         "<cachePlotTypeID>2</cachePlotTypeID>"
                         "<cachePlotScaleTypeID>20</cachePlotScaleTypeID>"
                         "</server></ostrelPreferences>");
    CPreferencesOstrel list;
    list.deSerialize(L"C:\\ostrel.xml");
    coretest::clearCommandLine();
    list.dump(L"start");
    EXPECT_EQ(coretest::commandLineText(),
              L"Marker                start\n"
              L"Server                plans01\n"
              L"getCacheOutPath       C:\\cache\n"
              L"getCachePlotAreaType  1\n"
              L"getCachePlotCentred   %b\n"
              L"getCachePlotMediaName 0, ISO_A1_(841.00_x_594.00_MM)\n"
              L"getCachePlotPC3Device 2, PublishToWeb JPG.pc3\n"
              L"getCachePlotScaleType 21\n"
              L"\n\n");
}

TEST(ServerPreferences, ErrorLogsGoToEveryServerEntry) {
    coretest::TempCDrive drive;
    coretest::writeBytes(drive.native("ostrel.xml"),
                         "<ostrelPreferences>"
                         "<a><acadErrorLogFilePath>C:\\one.xml</acadErrorLogFilePath></a>"
                         "<b><acadErrorLogFilePath>C:\\two.xml</acadErrorLogFilePath></b>"
                         "</ostrelPreferences>");
    CPreferencesOstrel list;
    list.deSerialize(L"C:\\ostrel.xml");
    ASSERT_EQ(list.getCount(), 2);
    CKelmoExceptions warnings;
    warnings.add(new CEXCustom(L"logged", KELMO_BANNER, L"Test.cpp", L"CTest::run", 0, nullptr));
    warnings.reportToErrorLogs(&list);
    EXPECT_EQ(count(coretest::readBytes(drive.native("one.xml")), "<description>logged</description>"), 1);
    EXPECT_EQ(count(coretest::readBytes(drive.native("two.xml")), "<description>logged</description>"), 1);
}

} // namespace
