#pragma once
// The module's failures: heap objects thrown by pointer, each wrapping the one it caught, so that the
// handler at the top of a road holds the whole chain from its own function down to the first failure.
#include <exception>

#include "ado/Ado.h"
#include "classlib/Afx.h"
#include "core/HostCalls.h"
#include "win/ComTypes.h"
#include "xml/MsXml.h"

class CPreferencesOstrel;

class CEXKelmo {
public:
    CEXKelmo(CString source, CString file, CString function, int line = 0, CEXKelmo* inner = nullptr);
    // Virtual so that a chain held through its base deletes every level as what it is.
    virtual ~CEXKelmo();
    CEXKelmo(const CEXKelmo&) = delete;
    CEXKelmo& operator=(const CEXKelmo&) = delete;

    CString getSource() const { return m_source; }
    CString getClass() const { return m_class; }
    CString getProcSig() const { return m_procSig; }
    CString getDescription() const { return m_description; }
    int getLine() const { return m_line; }
    int getSeverity() const { return m_severity; }
    CEXKelmo* getInnerException() const { return m_inner; }
    CString getSeverityText() const;

    // The chain as an "error" element in our "/errors" namespace.
    virtual IXMLDOMNodePtr serialize();

    // Texts shown by the two reports; the message box also names each level's source file.
    CString getMessageBoxText() const;
    CString getCommandLineText() const;

    void reportToMessageBox();
    void reportToCommandLine();
    void reportToErrorLogs(CPreferencesOstrel* serverPreferences);
    void reportToErrorLog(CString path);

    // Frees the inner chain, innermost first, then this exception.
    void deleteException();

    static CString getWin32ErrorText(DWORD code);
    static CString stripFileName(CString path);
    static CString describeComError(const _com_error& error);

protected:
    void setDescription(const CString& description) { m_description = description; }
    void setSeverity(int severity) { m_severity = severity; }
    void setSource(const CString& source) { m_source = source; }
    // The XML form of the database exceptions: the procedure's node, then the inner chain directly.
    IXMLDOMNodePtr serializeWithNode(const IXMLDOMNodePtr& node);

private:
    CString m_source;
    CString m_class;
    CString m_procSig;
    CString m_description;
    int m_line;
    int m_severity;
    CEXKelmo* m_inner;
};

class CEXUnhandled : public CEXKelmo {
public:
    CEXUnhandled(CString source, CString file, CString function, int line, CEXKelmo* inner);
    CEXUnhandled(CString source, CString file, CString function);
    // The class library's exception is read, not released: its catcher calls Delete().
    CEXUnhandled(CException* exception, CString source, CString file, CString function, int line, CEXKelmo* inner);
    CEXUnhandled(const std::exception& exception, CString source, CString file, CString function, int line,
                 CEXKelmo* inner);
    CEXUnhandled(CString description, CString source, CString file, CString function, int line);
    // A host status met on `line` of the thrower, while working on `drawingName` when it is given.
    CEXUnhandled(Acad::ErrorStatus status, CString source, CString file, CString function, int line,
                 CString drawingName, CEXKelmo* inner);
    CEXUnhandled(const _com_error& error, CString source, CString file, CString function, int severity);
};

class CEXCustom : public CEXKelmo {
public:
    CEXCustom(CString description, CString source, CString file, CString function, int line, CEXKelmo* inner);
};

class CEXInvalidHandle : public CEXKelmo {
public:
    CEXInvalidHandle(CString handle, CString source, CString file, CString function, int line = 0);
};

class CEXInvalidHexColour : public CEXKelmo {
public:
    CEXInvalidHexColour(CString source, CString file, CString function, CString colour);
};

class CEXInvalidPlotFilename : public CEXKelmo {
public:
    CEXInvalidPlotFilename(CString source, CString file, CString function, CString fileName);
};

class CEXInvalidXMLFile : public CEXKelmo {
public:
    CEXInvalidXMLFile(CString source, CString file, CString function, CString path);
};

class CEXSegmentAreaOverTotal : public CEXKelmo {
public:
    CEXSegmentAreaOverTotal(CString source, CString file, CString function, double segmentArea, double totalArea);
};

class CEXXMLNotAvailable : public CEXKelmo {
public:
    CEXXMLNotAvailable(CString source, CString file, CString function);
};

class CEXXMLMissingField : public CEXKelmo {
public:
    CEXXMLMissingField(CString path, CString field, CString source, CString file, CString function);
};

class CEXComError : public CEXKelmo {
public:
    CEXComError(const _com_error& error, CString source, CString file, CString function, int severity);
};

// One CEXCustom per error of the connection, each wrapping the one before (the first innermost),
// the native error number standing in the line; null when there is no connection or no error.
CEXKelmo* connectionErrorChain(const _ConnectionPtr& connection, const CString& source, const CString& file,
                               const CString& function);

class CEXConnection : public CEXKelmo {
public:
    CEXConnection(const _com_error& error, CString source, CString file, CString function);
    // "An error occurred whilst connecting to" the connection's database, with the connection's
    // errors as the inner chain, the first error innermost.
    CEXConnection(_ConnectionPtr connection, CString source, CString file, CString function);
    IXMLDOMNodePtr serialize() override;

protected:
    IXMLDOMNodePtr m_node; // the procedure's XML form, when one is involved
};

class CEXSQLStatement : public CEXKelmo {
public:
    CEXSQLStatement(const _com_error& error, CString statement, CString source, CString file, CString function);
};

// Warnings: collected in a CKelmoExceptions list and shown when the operation ends, never thrown.
class CEXHatchAdditionalAreas : public CEXKelmo {
public:
    CEXHatchAdditionalAreas(CString blockName, CString source, CString file, CString function);
};

class CEXHatchNoHatchAreas : public CEXKelmo {
public:
    CEXHatchNoHatchAreas(CString blockName, CString source, CString file, CString function);
};

class CEXHatchAroundAttributes : public CEXKelmo {
public:
    CEXHatchAroundAttributes(CString blockName, CString handle, CString source, CString file, CString function);
};

class CEXHatchNotDenseEnough : public CEXKelmo {
public:
    CEXHatchNotDenseEnough(CString subject, CString patternName, double scale, CString source, CString file,
                           CString function);
};

class CEXHatchTooDense : public CEXKelmo {
public:
    CEXHatchTooDense(CString subject, CString patternName, double scale, CString source, CString file,
                     CString function);
};

class CEXHatchPolylineNotClosed : public CEXKelmo {
public:
    CEXHatchPolylineNotClosed(CString blockName, CString handle, CString source, CString file, CString function);
};

// The warnings of one operation; owns them.
class CKelmoExceptions {
public:
    CKelmoExceptions();
    ~CKelmoExceptions();
    CKelmoExceptions(const CKelmoExceptions&) = delete;
    CKelmoExceptions& operator=(const CKelmoExceptions&) = delete;

    void add(CEXKelmo* exception);
    CEXKelmo* getAt(int index);
    int getCount() const { return m_count; }
    void reportToMessageBox();
    void reportToCommandLine();
    void reportToErrorLogs(CPreferencesOstrel* serverPreferences);
    void reportToErrorLog(CString path);
    void deleteObjects();

private:
    CArray<CEXKelmo*, CEXKelmo*> m_exceptions;
    int m_count;
};
