#pragma once
// The block creator and the hyperlink dialog run in-process on a test host: the module attached,
// the preferences file written, space blocks and plain blocks built in the host's drawing, and the
// dialogs driven as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cad/AcDb.h"
#include "cad/app/ApDocument.h"
#include "classlib/DialogDriver.h"
#include "support/EntryFixture.h"

namespace creationtest {

using classlib::DialogDriver;

inline AcDbPolyline* rectangle(double x0, double y0, double x1, double y1, bool closed = true) {
    auto* polyline = new AcDbPolyline(4);
    polyline->addVertexAt(0, AcGePoint2d(x0, y0));
    polyline->addVertexAt(1, AcGePoint2d(x1, y0));
    polyline->addVertexAt(2, AcGePoint2d(x1, y1));
    polyline->addVertexAt(3, AcGePoint2d(x0, y1));
    polyline->setClosed(closed);
    return polyline;
}

inline AcDbAttributeDefinition* attributeDefinition(const wchar_t* tag, double y) {
    auto* definition = new AcDbAttributeDefinition(AcGePoint3d(0, y, 0), L"", tag, tag);
    definition->setHeight(250);
    return definition;
}

class DialogFixture : public kelmo_test::ModuleFixture {
protected:
    void SetUp() override {
        ModuleFixture::SetUp();
        writePrefs(kelmo_test::defaultPrefsFile);
    }

    // A space block of the definition (made when missing) named by its NAME attribute.
    AcDbObjectId space(const std::wstring& definition, const std::wstring& name, double x = 0) {
        if (db()->blockId(definition).isNull())
            host->defineBlock(definition, {rectangle(0, 0, 4000, 3000), attributeDefinition(L"AREA", 0),
                                           attributeDefinition(L"NAME", -375), attributeDefinition(L"AUX", 375)});
        return host->insertBlock(definition, AcGePoint3d(x, 0, 0), 1.0, 0.0, {{L"NAME", name}, {L"AREA", L"0"}});
    }

    std::wstring handle(AcDbObjectId id) const { return L"#" + host->handleOf(id); }

    static std::wstring controlText(HWND dialog, int id) {
        CString text;
        CWnd::FromHandle(dialog)->GetDlgItemText(id, text);
        return static_cast<const wchar_t*>(text);
    }
    static bool has(const std::wstring& text, const std::wstring& part) {
        return text.find(part) != std::wstring::npos;
    }
    std::wstring said() const { return host->commandLine(); }
    static std::string with(std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    }
};

} // namespace creationtest
