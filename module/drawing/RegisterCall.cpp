#include "drawing/RegisterCall.h"

#include <memory>

#include "database/ParameterInt.h"
#include "database/ParameterVarChar.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"

namespace registercall {

namespace {
constexpr int inputDirection = 1;
constexpr int columnSize = 255;
} // namespace

CParameter* intInput(const wchar_t* name, int value) {
    std::unique_ptr<CParameterInt> parameter(new CParameterInt());
    parameter->setName(name);
    parameter->setDirection(inputDirection);
    parameter->setValue(value);
    return parameter.release();
}

CParameter* textInput(const wchar_t* name, const CString& value) {
    std::unique_ptr<CParameterVarChar> parameter(new CParameterVarChar());
    parameter->setName(name);
    parameter->setDirection(inputDirection);
    parameter->setSize(columnSize);
    parameter->setValue(value);
    return parameter.release();
}

void execute(CStoredProcedure* procedure, const wchar_t* name, CParameters& parameters, int timeout) {
    CParametersLoan loan(procedure);
    procedure->setName(name);
    procedure->setParameters(&parameters);
    procedure->setTimeout(timeout);
    procedure->execSPNoReturnParas();
}

} // namespace registercall
