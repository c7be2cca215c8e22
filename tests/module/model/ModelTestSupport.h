#pragma once
// Space blocks built in the tests: room definitions, inserts with attributes and extended data, and
// the module's exception chains read back.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cad/AcDb.h"
#include "cad/app/ApDocument.h"
#include "classlib/Afx.h"
#include "core/KelmoExceptions.h"
#include "support/HostFixture.h"

inline void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << text.ToUtf8() << '"';
}

namespace modeltest {

// A closed rectangle in its own plane, not yet in any drawing.
inline AcDbPolyline* rectangle(double x0, double y0, double x1, double y1) {
    auto* polyline = new AcDbPolyline(4);
    polyline->addVertexAt(0, AcGePoint2d(x0, y0));
    polyline->addVertexAt(1, AcGePoint2d(x1, y0));
    polyline->addVertexAt(2, AcGePoint2d(x1, y1));
    polyline->addVertexAt(3, AcGePoint2d(x0, y1));
    polyline->setClosed(true);
    return polyline;
}

inline AcDbAttributeDefinition* attributeDefinition(const wchar_t* tag, double y) {
    auto* definition = new AcDbAttributeDefinition(AcGePoint3d(0, y, 0), L"", tag, tag);
    definition->setHeight(250);
    return definition;
}

// A "ROOM-" definition: the boundary rectangle and the NAME, AREA and AUX attribute definitions.
inline AcDbObjectId defineRoom(kelmo_test::TestHost& host, const std::wstring& name, double width, double height) {
    return host.defineBlock(name, {rectangle(0, 0, width, height), attributeDefinition(L"AREA", 0),
                                   attributeDefinition(L"NAME", -375), attributeDefinition(L"AUX", 375)});
}

// Extended data under the application: "{", the strings, "}".
inline void setXData(AcDbDatabase* db, AcDbObjectId id, const wchar_t* app, const std::vector<std::wstring>& strings) {
    AcDbDatabase* working = acdbWorkingDatabase();
    acdbSetWorkingDatabase(db);
    acdbRegApp(app);
    acdbSetWorkingDatabase(working);
    resbuf* head = acutBuildList(1001, app, 1002, L"{", 0);
    resbuf* last = head->rbnext;
    for (const std::wstring& text : strings) {
        resbuf* item = acutBuildList(1000, text.c_str(), 0);
        last->rbnext = item;
        last = item;
    }
    last->rbnext = acutBuildList(1002, L"}", 0);
    AcDbObject* object = nullptr;
    acDocManager->lockDocument(acDocManager->curDocument());
    EXPECT_EQ(acdbOpenObject(object, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(object->setXData(head), Acad::eOk);
    object->close();
    acDocManager->unlockDocument(acDocManager->curDocument());
    acutRelRb(head);
}

// The 1000 strings of an object's data under the application.
inline std::vector<std::wstring> xDataStrings(AcDbObjectId id, const wchar_t* app) {
    std::vector<std::wstring> strings;
    AcDbObject* object = nullptr;
    if (acdbOpenObject(object, id, AcDb::kForRead) != Acad::eOk) return strings;
    resbuf* data = object->xData(app);
    object->close();
    for (resbuf* item = data; item; item = item->rbnext)
        if (item->restype == 1000) strings.emplace_back(item->resval.rstring);
    acutRelRb(data);
    return strings;
}

// The innermost description of a thrown chain (the chain is deleted); empty when nothing was thrown.
template <class F>
CString innermostDescription(F&& call) {
    try {
        call();
    } catch (CEXKelmo* chain) {
        CEXKelmo* inner = chain;
        while (inner->getInnerException()) inner = inner->getInnerException();
        CString description = inner->getDescription();
        chain->deleteException();
        return description;
    }
    return CString();
}

// The objects of the drawing still open (each should have been closed).
inline size_t openObjects(AcDbDatabase* db) {
    return db->openedObjects().size();
}

} // namespace modeltest
