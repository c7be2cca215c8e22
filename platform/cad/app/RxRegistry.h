#pragma once
// The host's system registry of named services, the command stack and the dynamic linker.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cad/db/AcDbCore.h"

#define ACRX_COMMAND_DOCK L"ACAD_REGISTERED_COMMANDS"
#define ACRX_DYNAMIC_LINKER L"DynamicLinker"

// Command flags.
#define ACRX_CMD_MODAL 0x00000000
#define ACRX_CMD_TRANSPARENT 0x00000001
#define ACRX_CMD_USEPICKSET 0x00000002
#define ACRX_CMD_REDRAW 0x00000004
#define ACRX_CMD_NOPAPERSPACE 0x00000020
#define ACRX_CMD_NOTILEMODE 0x00000040
#define ACRX_CMD_NOMULTIPLE 0x00000100
#define ACRX_CMD_NOINTERRUPT 0x00000200
#define ACRX_CMD_DOCREADLOCK 0x00080000
#define ACRX_CMD_DOCEXCLUSIVELOCK 0x00100000
#define ACRX_CMD_SESSION 0x00200000

namespace AcRx {
enum AppMsgCode {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
    kCfgMsg = 6,
    kEndMsg = 7,
    kQuitMsg = 8,
    kSaveMsg = 9,
    kDependencyMsg = 10,
    kNoDependencyMsg = 11,
    kOleUnloadAppMsg = 12,
    kPreQuitMsg = 13,
    kInitDialogMsg = 14,
    kEndDialogMsg = 15,
    kSuspendMsg = 16
};
enum AppRetCode { kRetOK = 0, kRetError = 3 };
} // namespace AcRx

using AcRxFunctionPtr = void (*)();
class AcEdUIContext;

// A registry of named host services (ACRX_COMMAND_DOCK, ACRX_DYNAMIC_LINKER).
class AcRxDictionary {
public:
    AcRxObject* at(const ACHAR* key) const;
    void atPut(const ACHAR* key, AcRxObject* object);

private:
    std::map<std::wstring, AcRxObject*> entries_;
};
AcRxDictionary* acrxSysRegistry();

class AcEdCommand : public AcRxObject {
public:
    const ACHAR* globalName() const { return global_.c_str(); }
    const ACHAR* localName() const { return local_.c_str(); }
    const ACHAR* groupName() const { return group_.c_str(); }
    Adesk::Int32 commandFlags() const { return flags_; }
    AcRxFunctionPtr functionAddr() const { return function_; }
    AcEdUIContext* UIContext() const { return context_; }
    int functionCode() const { return fcode_; }
    HINSTANCE resourceHandle() const { return resource_; }

private:
    friend class AcEdCommandStack;
    std::wstring group_, global_, local_;
    Adesk::Int32 flags_ = 0;
    AcRxFunctionPtr function_ = nullptr;
    AcEdUIContext* context_ = nullptr;
    int fcode_ = -1;
    HINSTANCE resource_ = nullptr;
};

// Groups of commands, each with a global and a local name, found by either name without
// regard to case. A global name that is already registered, in any group, is refused.
class AcEdCommandStack : public AcRxObject {
public:
    static AcEdCommandStack* cast(const AcRxObject* p);
    Acad::ErrorStatus addCommand(const ACHAR* cmdGroupName, const ACHAR* cmdGlobalName, const ACHAR* cmdLocalName,
                                 Adesk::Int32 commandFlags, AcRxFunctionPtr functionAddr,
                                 AcEdUIContext* UIContext = nullptr, int fcode = -1,
                                 HINSTANCE hResourceHandle = nullptr, AcEdCommand** cmdPtrRet = nullptr);
    AcEdCommand* lookupGlobalCmd(const ACHAR* cmdName) const;
    AcEdCommand* lookupLocalCmd(const ACHAR* cmdName) const;
    AcEdCommand* lookupCmd(const ACHAR* cmdName, bool globalFlag) const;
    // Global name first, then local name. A leading underscore asks for the global name only.
    AcEdCommand* lookup(const ACHAR* name) const;
    Acad::ErrorStatus removeCmd(const ACHAR* cmdGroupName, const ACHAR* cmdGlobalName);
    Acad::ErrorStatus removeGroup(const ACHAR* groupName);
    // Every registered command in registration order (for listings and tests).
    std::vector<const AcEdCommand*> commands() const;
    // Group names removed so far, in order (tests check the unload order).
    const std::vector<std::wstring>& removedGroups() const { return removedGroups_; }
    void clearHistory() { removedGroups_.clear(); }

private:
    std::vector<std::unique_ptr<AcEdCommand>> commands_;
    std::vector<std::wstring> removedGroups_;
};

// The host's own command stack, also held in the system registry under ACRX_COMMAND_DOCK.
AcEdCommandStack* acedRegCmds();
