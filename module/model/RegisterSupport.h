#pragma once
// What the register side of the space-block model shares: one stored-procedure call with its parameter
// list, typed columns read from a register row, and the catch of a register operation.
#include "ado/Ado.h"
#include "classlib/Afx.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "database/EXStoredProcedure.h"
#include "database/ParameterBoolean.h"
#include "database/ParameterDecimal.h"
#include "database/ParameterInt.h"
#include "database/ParameterVarChar.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"

namespace kelmo_model {

// The parameter list of one call, bound to the procedure while the call lasts. Operations nest on one
// procedure object (a loader reads the hyperlinks of each row it reads): on every way out the procedure
// gets back the list it held before, so it never points at a list that is gone.
class RegisterCall {
public:
    explicit RegisterCall(CStoredProcedure* procedure)
        : m_procedure(procedure), m_previous(procedure ? procedure->getParameters() : nullptr) {}
    ~RegisterCall() {
        if (m_procedure && m_procedure->getParameters() != m_previous) m_procedure->setParameters(m_previous);
    }
    RegisterCall(const RegisterCall&) = delete;
    RegisterCall& operator=(const RegisterCall&) = delete;

    CParameters& parameters() { return m_parameters; }
    CStoredProcedure* procedure() { return m_procedure; }

    void addInt(const wchar_t* name, int direction, int value) {
        CParameterInt* parameter = new CParameterInt();
        parameter->setName(name);
        parameter->setDirection(direction);
        parameter->setValue(value);
        m_parameters.add(parameter);
    }
    void addVarChar(const wchar_t* name, int size, const CString& value) {
        CParameterVarChar* parameter = new CParameterVarChar();
        parameter->setName(name);
        parameter->setDirection(1);
        parameter->setSize(size);
        parameter->setValue(value);
        m_parameters.add(parameter);
    }
    // The register keeps decimals as numeric(18, 10).
    void addDecimal(const wchar_t* name, double value) {
        CParameterDecimal* parameter = new CParameterDecimal();
        parameter->setName(name);
        parameter->setDirection(1);
        parameter->setPrecision(18);
        parameter->setNumericScale(10);
        parameter->setValue(value);
        m_parameters.add(parameter);
    }
    void addBoolean(const wchar_t* name, int direction, int value) {
        CParameterBoolean* parameter = new CParameterBoolean();
        parameter->setName(name);
        parameter->setDirection(direction);
        parameter->setValue(value);
        m_parameters.add(parameter);
    }

    // An output the procedure answers; nothing is sent.
    void addOutputBoolean(const wchar_t* name) {
        CParameterBoolean* parameter = new CParameterBoolean();
        parameter->setName(name);
        parameter->setDirection(2);
        m_parameters.add(parameter);
    }

    // Timeout (unless negative: the procedure keeps its own), name and this list, ready to execute.
    void prepare(const wchar_t* procedureName, int timeout) {
        if (!m_procedure)
            throw new CEXCustom(CString(L"There is no stored procedure to run ") + procedureName + L" on.",
                                KELMO_BANNER, L"RegisterSupport", L"RegisterCall::prepare", 0, nullptr);
        if (timeout >= 0) m_procedure->setTimeout(timeout);
        m_procedure->setName(procedureName);
        m_procedure->setParameters(&m_parameters);
    }

    // The value an output parameter came back with; 0 when the list has no such parameter.
    int outputInt(const wchar_t* name) {
        CParameter* parameter = m_parameters.getParameter(name);
        if (!parameter) return 0;
        _variant_t value = parameter->getValue();
        if (value.vt == VT_NULL || value.vt == VT_EMPTY) return 0;
        if (value.vt == VT_BOOL) return value.boolVal != 0 ? 1 : 0;
        value.ChangeType(VT_I4);
        return static_cast<int>(value.lVal);
    }

private:
    CStoredProcedure* m_procedure;
    CParameters* m_previous;
    CParameters m_parameters;
};

// A register row set: closed on every way out when it is still open.
class RegisterRows {
public:
    explicit RegisterRows(_RecordsetPtr records) : m_records(records) {}
    ~RegisterRows() {
        try {
            if (m_records && m_records->GetState() == adStateOpen) m_records->Close();
        } catch (...) {}
    }
    RegisterRows(const RegisterRows&) = delete;
    RegisterRows& operator=(const RegisterRows&) = delete;

    // Using a set that was never made raises the invalid-pointer COM error.
    _RecordsetPtr& operator->() { return m_records; }
    bool empty() { return m_records->GetBOF() && m_records->GetadoEOF(); }
    bool atEnd() { return m_records->GetadoEOF(); }
    void next() { m_records->MoveNext(); }
    void close() {
        if (m_records->GetState() == adStateOpen) m_records->Close();
    }

    // Whether the set has the column: a register made before a column was added lacks it.
    bool hasColumn(const wchar_t* column) {
        FieldsPtr fields = m_records->GetFields();
        for (long i = 0; i < fields->GetCount(); ++i)
            if (CString(static_cast<const wchar_t*>(fields->GetItem(_variant_t(i))->GetName())) == column) return true;
        return false;
    }
    bool isNull(const wchar_t* column) {
        _variant_t value = m_records->GetCollect(column);
        return value.vt == VT_NULL || value.vt == VT_EMPTY;
    }
    // A NULL text is the empty text.
    CString text(const wchar_t* column) {
        _variant_t value = m_records->GetCollect(column);
        if (value.vt == VT_NULL || value.vt == VT_EMPTY) return CString();
        return CString(static_cast<const wchar_t*>(_bstr_t(value)));
    }
    // A NULL number leaves the field as it was.
    void readInt(const wchar_t* column, int& field) {
        _variant_t value = m_records->GetCollect(column);
        if (value.vt == VT_NULL || value.vt == VT_EMPTY) return;
        value.ChangeType(VT_I4);
        field = static_cast<int>(value.lVal);
    }
    void readDouble(const wchar_t* column, double& field) {
        _variant_t value = m_records->GetCollect(column);
        if (value.vt == VT_NULL || value.vt == VT_EMPTY) return;
        value.ChangeType(VT_R8);
        field = value.dblVal;
    }

private:
    _RecordsetPtr m_records;
};

} // namespace kelmo_model

// The catch of a register operation: a failing database call (a COM error) becomes the procedure's own
// exception, thrown as it is; everything else is wrapped as usual, the class library's exceptions included.
#define KELMO_REGISTER_CATCH_IN(file, procedure, method)                                  \
    }                                                                                     \
    catch (const _com_error& comError) {                                                  \
        throw new CEXStoredProcedure(comError, procedure, KELMO_BANNER, file, method, 2); \
    }                                                                                     \
    catch (...) {                                                                         \
        ::kelmo::rethrowWrapped(file, method, ::kelmo::catchClassLib);                    \
    }
#define KELMO_REGISTER_CATCH(procedure, method) \
    KELMO_REGISTER_CATCH_IN                     \
    (kelmoSourceFile, procedure, method)
