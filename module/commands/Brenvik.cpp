#include "commands/Brenvik.h"

#include "classlib/AfxWin.h"
#include "commands/CommandFrame.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "dialogs/PresPreferences.h"
#include "drawing/AcadUtilities.h"
#include "xml/MsXml.h"

KELMO_SOURCE_FILE(L"Brenvik");

namespace {

// Help rows: four blanks, the command in eight columns, its full name in thirty, the description;
// a description's further lines stand in its column. The "msxta" and "mbta" rows are set apart as
// they have always been printed.
void printLines(const wchar_t* const* lines) {
    for (; *lines != nullptr; ++lines) {
        acutPrintf(L"%s", *lines);
    }
}

void printSeparators(int count) {
    for (int i = 0; i < count; ++i) {
        acutPrintf(L"-\n");
    }
}

void printHeading(const wchar_t* heading) {
    acutPrintf(L"%s\n", heading);
}

const wchar_t* const suiteRows[] = {
    L"    mbe     kelmoBrenvik                  Edit kelmo blocks.\n",
    L"    mbh     kelmoBlockHyperlink           Multiple hyperlink blocks.\n",
    L"    mbc     kelmoBlockCreate              Create a kelmo block.\n",
    L"    mgabc   kelmoGrossAreaBlockCreate     Create a kelmo gross area block.\n",
    L"    mdb     kelmoDeleteBlock              Delete kelmo block.\n",
    L"    mcsv    kelmoCommaSeperatedValues     Export drawing details to csv.\n",
    nullptr,
};

const wchar_t* const utilityRows[] = {
    L"    mus     kelmoUpdateSpaces             Recalculate all areas and perimeters\n",
    L"                                          in the drawing. Updates attributes if xdata\n",
    L"                                          and attribute value are linked\n",
    L"    msxta   kelmoSyncXDataToAttributes\t  Copies xdata values to appropriate attributes.\n",
    L"                                          Recalculates xdata if specified.\n",
    L"    mbta     kelmoBlankThirdAttribute     Set all third attribute (aux) values to \"\" i.e. blank\n",
    L"    mut     kelmoUpdateText               Resize all attribute text to\n",
    L"                                          preferences default value.\n",
    L"    maux    kelmoAuxilarator              Add auxillary tags to kelmo blocks\n",
    L"                                          which do not have an auxillary tag.\n",
    L"    mlb     kelmoListBlocks               List the block name and identifiers\n",
    L"                                          in the drawing.\n",
    nullptr,
};

const wchar_t* const administrationRows[] = {
    L"    mprefs  kelmoPreferences              Edit preferences.\n",
    nullptr,
};

const wchar_t* const helpRows[] = {
    L"    m?      mhelp                         Displays details of the kelmo.\n",
    L"                                          commands avaialble in this version of\n",
    L"                                          the Dorvane.\n",
    nullptr,
};

const wchar_t* const diagnosticRows[] = {
    L"    mda     kelmoDiagnosticAll            Runs all diagnostic routines.\n",
    L"    md1     kelmoDiagnosticBasic          Tests output to commandline.\n",
    L"    md3     kelmoDiagnosticDialog         Test Dialogs.\n",
    L"    md4     kelmoDiagnosticErrorsA        Throws and handles test error.\n",
    L"    md5     kelmoDiagnosticErrorsB        Throws and handles test error.\n",
    L"    md6     kelmoDiagnosticErrorsC        Retrieves Function name.\n",
    L"    md7     kelmoDiagnosticErrorsD        Retrieves File name.\n",
    L"    md8     kelmoDiagnosticUserInput      Tests User Input.\n",
    L"    md9     kelmoDiagnosticXML            Test XML output.\n",
    nullptr,
};

// COM for the length of one XML operation, released on every way out.
class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

void diagnosticErrors(const wchar_t* line, const wchar_t* method) {
    acutPrintf(L"%s", line);
    try {
        throw new CEXUnhandled(L"test error", L"diagnostics", kelmoSourceFile, method, 0);
    } catch (CEXKelmo* caught) {
        acutPrintf(L"the error has been handled - %s\n", static_cast<const wchar_t*>(caught->getSource()));
        caught->deleteException();
        acutPrintf(L"kelmo error handled successfully\n");
    } catch (...) {
        acutPrintf(L"kelmo error handling failed\n");
    }
    acutPrintf(L"error handling test completed\n");
}

} // namespace

int checkPreferencesExist() {
    KELMO_TRY
        kelmo::CommandResources resources;
        CFileUtilities::ensureDirectoryExists(g_hostDirectory + L"\\kelmo\\prefs\\");
        g_tempDirectory = g_hostDirectory + L"\\kelmo\\temp\\";
        CFileUtilities::ensureDirectoryExists(g_tempDirectory);

        CStdioFile file;
        CFileException error;
        if (file.Open(kelmo::preferencesPath(), CFile::modeRead | CFile::typeText, &error)) {
            file.Close();
            return 0;
        }
        // Something that is no file (a named pipe, a folder) stands at the name: it is said once, the
        // defaults hold, and no first-run dialog offers to write where nothing can be written.
        if (CFileUtilities::fileExists(kelmo::preferencesPath())) {
            wchar_t reason[256] = {0};
            error.GetErrorMessage(reason, 255);
            acutPrintf(L"\nUnable to read the preferences file - %s\nThe default preferences are used.\n", reason);
            return 0;
        }
        // First run: confirming the dialog writes the file; cancelling leaves none, so it is asked
        // for again at the next load.
        CPresPreferences dialog(nullptr);
        dialog.setHostDirectory(g_hostDirectory);
        int units = 0;
        int precision = 2;
        double textSize = 250.0;
        double textScale = 1.0;
        double textRotation = 0.0;
        CString csvOpener = L"NONE";
        double zoomBorder = 0.0;
        dialog.setValues(units, precision, textSize, textScale, textRotation, csvOpener, zoomBorder);
        dialog.DoModal();
    KELMO_CATCH_REPORT(L"checkPreferencesExist", kelmo::catchModule)
    return 0;
}

void editPreferences() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Edit Preferences");
        CPresPreferences dialog(nullptr);
        dialog.setHostDirectory(g_hostDirectory);
        dialog.DoModal();
    KELMO_CATCH_REPORT(L"editPreferences", kelmo::catchModule)
}

void commandHelp() {
    KELMO_TRY
        kelmo::CommandResources resources;
        acutPrintf(L"  command   fullname                      Description\n\n");
        printSeparators(1);
        printHeading(L"KRP Suite Commands");
        printLines(suiteRows);
        printSeparators(2);
        printHeading(L"Utilities");
        printLines(utilityRows);
        printSeparators(3);
        printHeading(L"Administration");
        printLines(administrationRows);
        printSeparators(3);
        printHeading(L"Help");
        printLines(helpRows);
        printSeparators(2);
    KELMO_CATCH_REPORT(L"commandHelp", kelmo::catchModule)
}

void diagnosticsHelp() {
    KELMO_TRY
        kelmo::CommandResources resources;
        acutPrintf(L"  command      fullname                      Description\n\n");
        printSeparators(1);
        printHeading(L"Kelmo Diagnostics");
        printLines(diagnosticRows);
        printSeparators(2);
    KELMO_CATCH_REPORT(L"diagnosticsHelp", kelmo::catchModule)
}

void test() {
    KELMO_TRY
    KELMO_CATCH_REPORT(L"test", kelmo::catchClassLib)
}

void diagnosticAll() {
    // Each test catches its own failures, so one failing does not stop the others.
    KELMO_TRY
        diagnosticBasic();
        diagnosticErrorsA();
        diagnosticErrorsB();
        diagnosticErrorsC();
        diagnosticErrorsD();
        diagnosticUserInput();
        diagnosticXML();
    KELMO_CATCH_REPORT(L"diagnosticAll", kelmo::catchModule)
}

void diagnosticBasic() {
    KELMO_TRY
        acutPrintf(L"basic test - output to commandline\n");
        acutPrintf(L"basic test successful\n");
        acutPrintf(L"basic test completed\n");
    KELMO_CATCH_REPORT(L"diagnosticBasic", kelmo::catchModule)
}

void diagnosticDialog() {
    KELMO_TRY
        acutPrintf(L"dialog test - opens browse for file dialog\n");
        CFileUtilities::browseForFile(L"All Files (*.*)|*.*");
        acutPrintf(L"dialog test completed\n");
    KELMO_CATCH_REPORT(L"diagnosticDialog", kelmo::catchClassLib)
}

void diagnosticErrorsA() {
    diagnosticErrors(L"Error Test A - throws test error\n", L"diagnosticErrorsA");
}

void diagnosticErrorsB() {
    diagnosticErrors(L"Error Test B - throws test error\n", L"diagnosticErrorsB");
}

void diagnosticErrorsC() {
    KELMO_TRY
        acutPrintf(L"Error Test C - retrieve function name\n");
        acutPrintf(L"function %s\n", L"diagnosticErrorsC");
    KELMO_CATCH_REPORT(L"diagnosticErrorsC", kelmo::catchClassLib)
}

void diagnosticErrorsD() {
    KELMO_TRY
        acutPrintf(L"file %s\n", kelmoSourceFile);
    KELMO_CATCH_REPORT(L"diagnosticErrorsD", kelmo::catchClassLib)
}

void diagnosticUserInput() {
    KELMO_TRY
        CAcadUtilities utilities;
        acutPrintf(L"user input test - tests boolean, double, integer, string input\n");

        BOOL flag = TRUE;
        utilities.getBoolean(L"testing boolean input. Type 0 or 1 and then enter", TRUE, flag);
        // "%b" is no conversion of the host's print: the line shows it as it stands.
        acutPrintf(L"boolean user input test successful - %b\n", flag);

        double real = 1.001;
        utilities.getDouble(L"testing decimal input. Type a decimal number and then enter", 1.001, 3, real);
        acutPrintf(L"decimal user input test successful - %s\n",
                   static_cast<const wchar_t*>(CUtilities::DoubleToCString(real, 3)));

        int whole = 27;
        utilities.getInteger(L"testing integer input. Type an integer(whole) number and then enter", 27, whole);
        acutPrintf(L"integer user input test successful - %i\n", whole);

        CString text;
        utilities.getString(L"testing text input. Type some text and then enter", L"diagnosis", text);
        acutPrintf(L"text user input test successful - %s\n", static_cast<const wchar_t*>(text));

        acutPrintf(L"user input test finished\n");
    KELMO_CATCH_REPORT(L"diagnosticUserInput", kelmo::catchClassLib)
}

void diagnosticXML() {
    KELMO_TRY
        acutPrintf(L"xml test - outputs xml file to specified location\n");
        CAcadUtilities utilities;
        CString path;
        // A cancelled path ends the test: the file at the default path is neither deleted nor written.
        if (!utilities.getString(L"please enter output file path", L"c:\\kelmoDiagnosis.xml", path)) return;
        // Each write replaces the file only once it is whole: one that fails leaves the earlier file.
        const CString namespaceURI = CString(KELMO_NAMESPACE_URI) + L"/Ostrel";
        {
            CXMLUtilities xml;
            xml.createXMLDoc(path, CString(), L"root", namespaceURI);
        }
        {
            ComScope com;
            IXMLDOMDocumentPtr document;
            document.CreateInstance(L"Msxml2.DOMDocument", nullptr, 23);
            document->load(_variant_t(path));
            IXMLDOMNodePtr root = document->selectSingleNode(L"/*");
            if (!root) {
                throw new CEXInvalidXMLFile(KELMO_BANNER, kelmoSourceFile, L"diagnosticXML", path);
            }
            CXMLUtilities xml;
            root->appendChild(xml.createNode(L"name", L"value", namespaceURI));
            document->save(_variant_t(path));
        }
        acutPrintf(L"xml test completed successfully\n");
    KELMO_CATCH_REPORT(L"diagnosticXML", kelmo::catchClassLib)
}
