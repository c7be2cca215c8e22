#pragma once
// Root of the class library's polymorphic classes.
#include "win/WinTypes.h"

class CObject {
public:
    virtual ~CObject() = default;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
