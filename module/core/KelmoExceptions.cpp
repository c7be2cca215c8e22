#include "core/KelmoExceptions.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/Log.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"

KELMO_SOURCE_FILE(L"KelmoExceptions.cpp");

namespace {

CString errorsNamespace() {
    return CString(KELMO_NAMESPACE_URI) + L"/errors";
}

CString tabs(int depth) {
    CString text;
    for (int i = 0; i < depth; ++i) {
        text += L"\t";
    }
    return text;
}

// A line of a diagnostic text, cut where a 1024-character line would end.
CString boundedLine(const CString& line) {
    const int limit = 1023;
    return line.GetLength() > limit ? line.Left(limit) : line;
}

} // namespace

// One CEXCustom per error of the connection, each wrapping the one before; the native error
// number stands in the line.
CEXKelmo* connectionErrorChain(const _ConnectionPtr& connection, const CString& source, const CString& file,
                               const CString& function) {
    CEXKelmo* chain = nullptr;
    if (!connection) {
        return chain;
    }
    ErrorsPtr errors = connection->GetErrors();
    for (long i = 0; i < errors->GetCount(); ++i) {
        ErrorPtr entry = errors->GetItem(_variant_t(i));
        chain = new CEXCustom(CString(static_cast<const wchar_t*>(entry->GetDescription())), source, file, function,
                              static_cast<int>(entry->GetNativeError()), chain);
    }
    return chain;
}

// ---------------------------------------------------------------------------------------------------------
// CEXKelmo

CEXKelmo::CEXKelmo(CString source, CString file, CString function, int line, CEXKelmo* inner)
    : m_source(source),
      m_class(stripFileName(file)),
      m_procSig(function),
      m_line(line),
      m_severity(2),
      m_inner(inner) {}

CEXKelmo::~CEXKelmo() {
    // Iterative, so a long chain cannot exhaust the stack.
    CEXKelmo* inner = m_inner;
    m_inner = nullptr;
    while (inner != nullptr) {
        CEXKelmo* next = inner->m_inner;
        inner->m_inner = nullptr;
        delete inner;
        inner = next;
    }
}

CString CEXKelmo::getSeverityText() const {
    switch (m_severity) {
        case 0:
            return L"low";
        case 1:
            return L"medium";
        default:
            return L"high";
    }
}

CString CEXKelmo::stripFileName(CString path) {
    CString name = path;
    const int slash = name.ReverseFind(L'\\');
    if (slash >= 0) {
        name = name.Mid(slash + 1);
    }
    for (const wchar_t* extension : {L".cpp", L".h"}) {
        const CString ext(extension);
        if (name.GetLength() >= ext.GetLength() && name.Right(ext.GetLength()) == ext) {
            name = name.Left(name.GetLength() - ext.GetLength());
            break;
        }
    }
    return name;
}

CString CEXKelmo::getMessageBoxText() const {
    CString text;
    int depth = 0;
    for (const CEXKelmo* level = this; level != nullptr; level = level->m_inner, ++depth) {
        text += tabs(depth) + level->m_class + L"::" + level->m_procSig;
        if (level->m_inner != nullptr) {
            text += L"\n";
        } else {
            text += L"\n\n" + level->m_description;
        }
    }
    return text;
}

CString CEXKelmo::getCommandLineText() const {
    CString text;
    int depth = 0;
    for (const CEXKelmo* level = this; level != nullptr; level = level->m_inner, ++depth) {
        text += tabs(depth) + level->m_procSig;
        if (level->m_inner != nullptr) {
            text += L"\n";
        } else {
            text += L"\n\n" + level->m_description;
        }
    }
    return text;
}

void CEXKelmo::reportToMessageBox() {
    // The narrow message box takes the platform's 8-bit text, UTF-8 here.
    const std::string text = getMessageBoxText().ToUtf8();
    MessageBoxA(nullptr, text.c_str(), "Error Detected.", MB_ICONERROR | MB_OK);
}

void CEXKelmo::reportToCommandLine() {
    const CString text = getCommandLineText();
    acutPrintf(L"%s\n", static_cast<const wchar_t*>(text));
}

void CEXKelmo::reportToErrorLogs(CPreferencesOstrel* serverPreferences) {
    acutPrintf(L"An error has been detected please consult the error log\n");
    if (serverPreferences == nullptr) {
        return;
    }
    for (int i = 0; i < serverPreferences->getCount(); ++i) {
        reportToErrorLog(serverPreferences->getAt(i)->getAcadErrorLogFilePath());
    }
}

void CEXKelmo::reportToErrorLog(CString path) {
    CLog log;
    if (log.writeToXMLErrorLog(path, this)) {
        acutPrintf(L"An error has been detected in %s. Please consult the error log\n",
                   static_cast<const wchar_t*>(m_procSig));
    }
}

void CEXKelmo::deleteException() {
    delete this;
}

IXMLDOMNodePtr CEXKelmo::serialize() {
    CXMLUtilities xml;
    const CString ns = errorsNamespace();
    IXMLDOMNodePtr error = xml.createNode(L"error", ns);
    error->appendChild(xml.createUniversalTimeNode(ns, COleDateTime::GetCurrentTime()));
    error->appendChild(xml.createNode(L"class", m_class, ns));
    error->appendChild(xml.createNode(L"procSig", m_procSig, ns));
    error->appendChild(xml.createNode(L"source", m_source, ns));
    error->appendChild(xml.createNode(L"description", m_description, ns));
    error->appendChild(xml.createNode(L"severity", getSeverityText(), ns));
    if (m_inner != nullptr) {
        IXMLDOMNodePtr inner = xml.createNode(L"innerException", ns);
        inner->appendChild(m_inner->serialize());
        error->appendChild(inner);
    }
    return error;
}

IXMLDOMNodePtr CEXKelmo::serializeWithNode(const IXMLDOMNodePtr& node) {
    CXMLUtilities xml;
    const CString ns = errorsNamespace();
    IXMLDOMNodePtr error = xml.createNode(L"error", ns);
    error->appendChild(xml.createUniversalTimeNode(ns, COleDateTime::GetCurrentTime()));
    error->appendChild(xml.createNode(L"class", m_class, ns));
    error->appendChild(xml.createNode(L"procSig", m_procSig, ns));
    error->appendChild(xml.createNode(L"source", m_source, ns));
    error->appendChild(xml.createNode(L"description", m_description, ns));
    error->appendChild(xml.createNode(L"severity", getSeverityText(), ns));
    if (node != nullptr) {
        error->appendChild(node);
    }
    if (m_inner != nullptr) {
        error->appendChild(m_inner->serialize());
    }
    return error;
}

CString CEXKelmo::getWin32ErrorText(DWORD code) {
    // The system allocates the text, so no message is too long for it.
    LPWSTR buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    CString text;
    if (length != 0 && buffer != nullptr) {
        text.Format(L"%s", buffer);
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    return text;
}

CString CEXKelmo::describeComError(const _com_error& error) {
    CString text;
    CString line;
    line.Format(L"COM Error HRESULT 0x%X\n", static_cast<unsigned>(error.Error()));
    text += boundedLine(line);
    line.Format(L"_com_error::ErrorMessage() = %s\n", static_cast<const wchar_t*>(CString(error.ErrorMessage())));
    text += boundedLine(line);
    if (error.HasErrorInfo()) {
        line.Format(L"_com_error::Description() = %s\n",
                    static_cast<const wchar_t*>(CString(static_cast<const wchar_t*>(error.Description()))));
        text += boundedLine(line);
        line.Format(L"\n_com_error::Source() = %s",
                    static_cast<const wchar_t*>(CString(static_cast<const wchar_t*>(error.Source()))));
        text += boundedLine(line);
    } else {
        text += L"No IErrorInfo Interface present\n";
    }
    return text;
}

// ---------------------------------------------------------------------------------------------------------
// The family

CEXUnhandled::CEXUnhandled(CString source, CString file, CString function, int line, CEXKelmo* inner)
    : CEXKelmo(source, file, function, line, inner) {
    setDescription(L"unhandled error");
}

CEXUnhandled::CEXUnhandled(CString source, CString file, CString function)
    : CEXKelmo(source, file, function, 0, nullptr) {
    setDescription(L"unhandled error");
}

CEXUnhandled::CEXUnhandled(CException* exception, CString source, CString file, CString function, int line,
                           CEXKelmo* inner)
    : CEXKelmo(source, file, function, line, inner) {
    // The message is cut at 255 characters, never written past the buffer.
    wchar_t buffer[256] = {0};
    if (exception != nullptr) {
        exception->GetErrorMessage(buffer, 255);
    }
    buffer[255] = 0;
    setDescription(buffer);
}

CEXUnhandled::CEXUnhandled(const std::exception& exception, CString source, CString file, CString function, int line,
                           CEXKelmo* inner)
    : CEXKelmo(source, file, function, line, inner) {
    setDescription(CString(exception.what()));
}

CEXUnhandled::CEXUnhandled(CString description, CString source, CString file, CString function, int line)
    : CEXKelmo(source, file, function, line, nullptr) {
    setDescription(description);
}

CEXUnhandled::CEXUnhandled(Acad::ErrorStatus status, CString source, CString file, CString function, int line,
                           CString drawingName, CEXKelmo* inner)
    : CEXKelmo(source, file, function, line, inner) {
    CString description = L"The following AutoCAD error occurred on line#" + CUtilities::LongToCString(line) + L": " +
                          CString(acadErrorStatusText(status));
    if (!drawingName.IsEmpty()) {
        description += L", whilst processing drawing " + drawingName;
    }
    setDescription(description + L".");
}

CEXUnhandled::CEXUnhandled(const _com_error& error, CString source, CString file, CString function, int severity)
    : CEXKelmo(source, file, function, 0, nullptr) {
    setSource(CString(static_cast<const wchar_t*>(error.Source())));
    setDescription(CString(static_cast<const wchar_t*>(error.Description())));
    setSeverity(severity);
}

CEXCustom::CEXCustom(CString description, CString source, CString file, CString function, int line, CEXKelmo* inner)
    : CEXKelmo(source, file, function, line, inner) {
    setDescription(description);
}

CEXInvalidHandle::CEXInvalidHandle(CString handle, CString source, CString file, CString function, int line)
    : CEXKelmo(source, file, function, line, nullptr) {
    setDescription(L"Invalid Handle - " + handle);
    setSeverity(1);
}

CEXInvalidHexColour::CEXInvalidHexColour(CString source, CString file, CString function, CString colour)
    : CEXKelmo(source, file, function) {
    setDescription(L"Invalid Hex Colour - " + colour);
}

CEXInvalidPlotFilename::CEXInvalidPlotFilename(CString source, CString file, CString function, CString fileName)
    : CEXKelmo(source, file, function) {
    setDescription(L"Invalid Plot Filename - '" + fileName + L"'");
}

CEXInvalidXMLFile::CEXInvalidXMLFile(CString source, CString file, CString function, CString path)
    : CEXKelmo(source, file, function) {
    setDescription(L"Invalid XML file - " + path);
}

CEXSegmentAreaOverTotal::CEXSegmentAreaOverTotal(CString source, CString file, CString function, double segmentArea,
                                                 double totalArea)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to calculate pie chart percentages the total segment area (" +
                   CUtilities::DoubleToCString(segmentArea, 2) + L") is greater than the specified total area (" +
                   CUtilities::DoubleToCString(totalArea, 2) + L").");
    setSeverity(1);
}

CEXXMLNotAvailable::CEXXMLNotAvailable(CString source, CString file, CString function)
    : CEXKelmo(source, file, function) {
    setDescription(CString(L"Msxml2.DOMDocument") + L" is not available - please check msxml is installed.");
}

CEXXMLMissingField::CEXXMLMissingField(CString path, CString field, CString source, CString file, CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"The XML file " + path + L" does not contain the required field " + field);
    setSeverity(1);
}

CEXComError::CEXComError(const _com_error& error, CString source, CString file, CString function, int severity)
    : CEXKelmo(source, file, function) {
    setSource(CString(static_cast<const wchar_t*>(error.Source())));
    setDescription(CString(static_cast<const wchar_t*>(error.Description())));
    setSeverity(severity);
}

CEXConnection::CEXConnection(const _com_error& error, CString source, CString file, CString function)
    : CEXKelmo(source, file, function) {
    setDescription(CString(static_cast<const wchar_t*>(error.Description())));
}

CEXConnection::CEXConnection(_ConnectionPtr connection, CString source, CString file, CString function)
    : CEXKelmo(source, file, function, 0, connectionErrorChain(connection, source, file, function)) {
    const CString database =
        connection ? CString(static_cast<const wchar_t*>(connection->GetDefaultDatabase())) : CString();
    setDescription(L"An error occurred whilst connecting to " + database);
}

IXMLDOMNodePtr CEXConnection::serialize() {
    return serializeWithNode(m_node);
}

CEXSQLStatement::CEXSQLStatement(const _com_error& error, CString statement, CString source, CString file,
                                 CString function)
    : CEXKelmo(source, file, function) {
    setDescription(CString(static_cast<const wchar_t*>(error.Description())));
}

// ---------------------------------------------------------------------------------------------------------
// Warnings

CEXHatchAdditionalAreas::CEXHatchAdditionalAreas(CString blockName, CString source, CString file, CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to apply additional hatch areas to Kelmo Block: " + blockName + L".");
    setSeverity(1);
}

CEXHatchNoHatchAreas::CEXHatchNoHatchAreas(CString blockName, CString source, CString file, CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to apply no hatch areas to Kelmo Block: " + blockName + L".");
    setSeverity(1);
}

CEXHatchAroundAttributes::CEXHatchAroundAttributes(CString blockName, CString handle, CString source, CString file,
                                                   CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to hatch around attributes: " + blockName + L". Handle: " + handle +
                   L". Please check the Kelmo block.");
    setSeverity(1);
}

CEXHatchNotDenseEnough::CEXHatchNotDenseEnough(CString subject, CString patternName, double scale, CString source,
                                               CString file, CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to hatch " + subject + L". " + patternName + L" set at scale " +
                   CUtilities::DoubleToCString(scale, 2) + L" is not dense enough to be displayed.");
    setSeverity(1);
}

CEXHatchTooDense::CEXHatchTooDense(CString subject, CString patternName, double scale, CString source, CString file,
                                   CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to hatch " + subject + L". " + patternName + L" set at scale " +
                   CUtilities::DoubleToCString(scale, 2) + L"is too dense to be displayed.");
    setSeverity(1);
}

CEXHatchPolylineNotClosed::CEXHatchPolylineNotClosed(CString blockName, CString handle, CString source, CString file,
                                                     CString function)
    : CEXKelmo(source, file, function) {
    setDescription(L"Unable to hatch Kelmo Block: " + blockName + L". Handle: " + handle +
                   L". Please check the polyline is closed.");
}

// ---------------------------------------------------------------------------------------------------------
// CKelmoExceptions

CKelmoExceptions::CKelmoExceptions() : m_count(0) {}

CKelmoExceptions::~CKelmoExceptions() {
    // A destructor lets nothing out: a failure is shown and the list is dropped.
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CKelmoExceptions::~CKelmoExceptions");
    }
}

void CKelmoExceptions::add(CEXKelmo* exception) {
    m_exceptions.Add(exception);
    ++m_count;
}

CEXKelmo* CKelmoExceptions::getAt(int index) {
    return m_exceptions.GetAt(index);
}

void CKelmoExceptions::reportToMessageBox() {
    for (int i = 0; i < m_count; ++i) {
        m_exceptions[i]->reportToMessageBox();
    }
}

void CKelmoExceptions::reportToCommandLine() {
    for (int i = 0; i < m_count; ++i) {
        m_exceptions[i]->reportToCommandLine();
    }
}

void CKelmoExceptions::reportToErrorLogs(CPreferencesOstrel* serverPreferences) {
    for (int i = 0; i < m_count; ++i) {
        m_exceptions[i]->reportToErrorLogs(serverPreferences);
    }
}

void CKelmoExceptions::reportToErrorLog(CString path) {
    for (int i = 0; i < m_count; ++i) {
        m_exceptions[i]->reportToErrorLog(path);
    }
}

void CKelmoExceptions::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            CEXKelmo* exception = m_exceptions[i];
            m_exceptions[i] = nullptr;
            if (exception != nullptr) {
                exception->deleteException();
            }
        }
        m_exceptions.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CKelmoExceptions::deleteObjects")
}
