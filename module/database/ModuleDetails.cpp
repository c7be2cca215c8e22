#include "database/ModuleDetails.h"

#include "core/KelmoExceptions.h"
#include "database/DatabaseCatch.h"
#include "database/EXStoredProcedure.h"
#include "database/ParameterChar.h"
#include "database/ParameterDateTime.h"
#include "database/ParameterVarChar.h"
#include "database/StoredProcedure.h"

#include <cwchar>

KELMO_SOURCE_FILE(L"ModuleDetails.cpp");

namespace {

constexpr const wchar_t* kBuildDate = L"Oct  3 2014";
constexpr const wchar_t* kVersion = L"64.04.00.01";
// The version travels whole: its parameter holds all eleven characters.
constexpr int kVersionSize = 11;

// A text parameter of the given size, still to be named and filled.
template <class P>
P* sized(int size) {
    auto* parameter = new P();
    parameter->setSize(size);
    return parameter;
}

// Names the parameter and fills it as an input.
template <class P, class V>
P* input(P* parameter, const wchar_t* parameterName, const V& value) {
    parameter->setName(parameterName);
    parameter->setDirection(adParamInput);
    parameter->setValue(value);
    return parameter;
}

// Runs a procedure that returns nothing; a failing call is reported with the procedure's details.
void execNoReturn(CStoredProcedure& call, const wchar_t* method) {
    try {
        call.execSPNoReturnParas();
    } catch (const _com_error& error) {
        throw new CEXStoredProcedure(error, &call, KELMO_BANNER, kelmoSourceFile, method, 2);
    }
}

} // namespace

COleDateTime CModuleDetails::parseBuildDate(const wchar_t* text) {
    static const wchar_t* const months[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                            L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    COleDateTime result;
    result.SetStatus(COleDateTime::invalid);
    wchar_t month[4] = {};
    int day = 0, year = 0, consumed = 0;
    if (text == nullptr || std::swscanf(text, L"%3ls %d %d%n", month, &day, &year, &consumed) != 3 ||
        text[consumed] != L'\0')
        return result;
    for (int m = 0; m < 12; ++m) {
        if (std::wcscmp(month, months[m]) == 0) {
            result.SetDate(year, m + 1, day);
            break;
        }
    }
    return result;
}

CModuleDetails::CModuleDetails() {
    KELMO_TRY
        name = L"KRP";
        description = KELMO_BANNER;
        date = parseBuildDate(kBuildDate);
        version = kVersion;
    KELMO_CATCH(L"CModuleDetails::CModuleDetails")
}

CModuleDetails::~CModuleDetails() = default;

void CModuleDetails::setModDetails(CString server, CString user, CString password, int timeout) {
    const wchar_t* method = L"CModuleDetails::setModDetails";
    try {
        CStoredProcedure call(server, L"ostrel", user, password, timeout);
        CParameters list;
        list.add(input(sized<CParameterVarChar>(12), L"@moduleName", name));
        list.add(input(sized<CParameterVarChar>(255), L"@moduleDescription", description));
        list.add(input(sized<CParameterChar>(kVersionSize), L"@moduleVersion", version));
        list.add(input(new CParameterDateTime(), L"@moduleDate", date));
        call.setName(L"__mod_setModDetails");
        call.setParameters(&list);
        execNoReturn(call, method);
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, method, kelmo::catchClassLib);
    }
}

void CModuleDetails::setModuleRunning(CString server, CString user, CString password, int timeout) {
    const wchar_t* method = L"CModuleDetails::setModuleRunning";
    try {
        CStoredProcedure call(server, L"ostrel", user, password, timeout);
        CParameters list;
        list.add(input(sized<CParameterVarChar>(12), L"@MODNAME", name));
        call.setName(L"__mod_setModRunning");
        call.setParameters(&list);
        execNoReturn(call, method);
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, method, kelmo::catchClassLib);
    }
}
