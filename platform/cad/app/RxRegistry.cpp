#include "cad/app/RxRegistry.h"

#include <algorithm>
#include <cwctype>

namespace {

std::wstring upper(const ACHAR* s) {
    std::wstring r = s ? s : L"";
    for (wchar_t& c : r) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return r;
}

bool validName(const ACHAR* s) {
    if (!s || !*s) return false;
    for (const ACHAR* p = s; *p; ++p)
        if (std::iswspace(static_cast<wint_t>(*p))) return false;
    return true;
}

} // namespace

AcRxObject* AcRxDictionary::at(const ACHAR* key) const {
    if (!key) return nullptr;
    auto it = entries_.find(upper(key));
    return it == entries_.end() ? nullptr : it->second;
}

void AcRxDictionary::atPut(const ACHAR* key, AcRxObject* object) {
    if (key) entries_[upper(key)] = object;
}

AcEdCommandStack* AcEdCommandStack::cast(const AcRxObject* p) {
    return dynamic_cast<AcEdCommandStack*>(const_cast<AcRxObject*>(p));
}

Acad::ErrorStatus AcEdCommandStack::addCommand(const ACHAR* group, const ACHAR* global, const ACHAR* local,
                                               Adesk::Int32 flags, AcRxFunctionPtr function, AcEdUIContext* context,
                                               int fcode, HINSTANCE resource, AcEdCommand** ret) {
    if (ret) *ret = nullptr;
    if (!validName(group) || !validName(global) || !function) return Acad::eInvalidInput;
    if (local && *local && !validName(local)) return Acad::eInvalidInput;
    if (lookupGlobalCmd(global)) return Acad::eDuplicateKey;
    auto cmd = std::make_unique<AcEdCommand>();
    cmd->group_ = group;
    cmd->global_ = global;
    cmd->local_ = local && *local ? local : global;
    cmd->flags_ = flags;
    cmd->function_ = function;
    cmd->context_ = context;
    cmd->fcode_ = fcode;
    cmd->resource_ = resource;
    if (ret) *ret = cmd.get();
    commands_.push_back(std::move(cmd));
    return Acad::eOk;
}

AcEdCommand* AcEdCommandStack::lookupCmd(const ACHAR* name, bool globalFlag) const {
    if (!name) return nullptr;
    std::wstring key = upper(name);
    for (const auto& c : commands_)
        if (upper(globalFlag ? c->globalName() : c->localName()) == key) return c.get();
    return nullptr;
}

AcEdCommand* AcEdCommandStack::lookupGlobalCmd(const ACHAR* name) const {
    return lookupCmd(name, true);
}
AcEdCommand* AcEdCommandStack::lookupLocalCmd(const ACHAR* name) const {
    return lookupCmd(name, false);
}

AcEdCommand* AcEdCommandStack::lookup(const ACHAR* name) const {
    if (!name || !*name) return nullptr;
    if (name[0] == L'_') return lookupGlobalCmd(name + 1);
    if (AcEdCommand* c = lookupGlobalCmd(name)) return c;
    return lookupLocalCmd(name);
}

Acad::ErrorStatus AcEdCommandStack::removeCmd(const ACHAR* group, const ACHAR* global) {
    std::wstring g = upper(group), n = upper(global);
    auto it = std::find_if(commands_.begin(), commands_.end(),
                           [&](const auto& c) { return upper(c->groupName()) == g && upper(c->globalName()) == n; });
    if (it == commands_.end()) return Acad::eKeyNotFound;
    commands_.erase(it);
    return Acad::eOk;
}

Acad::ErrorStatus AcEdCommandStack::removeGroup(const ACHAR* group) {
    std::wstring g = upper(group);
    removedGroups_.push_back(group ? group : L"");
    size_t before = commands_.size();
    std::erase_if(commands_, [&](const auto& c) { return upper(c->groupName()) == g; });
    return commands_.size() == before ? Acad::eKeyNotFound : Acad::eOk;
}

std::vector<const AcEdCommand*> AcEdCommandStack::commands() const {
    std::vector<const AcEdCommand*> r;
    for (const auto& c : commands_) r.push_back(c.get());
    return r;
}

AcEdCommandStack* acedRegCmds() {
    static AcEdCommandStack* stack = new AcEdCommandStack(); // lives as long as the process, like the host's
    return stack;
}
