#pragma once
// The owning list of a drawing's layouts, and their record in the register.
#include "classlib/Afx.h"

class CAcadDrawing;
class CLayout;
class CStoredProcedure;

class CLayouts {
public:
    CLayouts();
    virtual ~CLayouts();
    CLayouts(const CLayouts&) = delete;
    CLayouts& operator=(const CLayouts&) = delete;

    CLayout* getAt(int index);
    int getCount() const { return m_count; }
    // TRUE when the list took the layout; one whose name is held already stays the caller's.
    BOOL add(CLayout* layout);
    void getDWGLayouts(CAcadDrawing* drawing);
    int addLayoutsToVXR(CStoredProcedure* procedure, int timeout, int attachID);
    void deleteDrawingLayouts(CStoredProcedure* procedure, int timeout, int attachID);
    void deleteObjects();

private:
    CTypedPtrArray<CPtrArray, CLayout*> m_layouts;
    int m_count;
};
