#pragma once
// Host application services: the product text, the working database and the layout manager.
#include <string>

#include "cad/db/AcDbCore.h"

class AcDbDatabase;
class AcDbLayout;
class AcDbPlotSettingsValidator;

// Layouts of the current document's drawing (or of a drawing named in the call).
class AcDbLayoutManager {
public:
    // The name of the active layout; with allowModel false, model space counts as no layout.
    const ACHAR* findActiveLayout(bool allowModel, const AcDbDatabase* db = nullptr);
    AcDbObjectId getActiveLayoutBTRId(const AcDbDatabase* db = nullptr);
    AcDbObjectId activeLayoutId(const AcDbDatabase* db = nullptr);
    Acad::ErrorStatus setCurrentLayout(const ACHAR* name, AcDbDatabase* db = nullptr);
    Acad::ErrorStatus setCurrentLayoutId(AcDbObjectId layoutId);
    // The layout of that name (case-insensitive); with leaveRecordOpen it is returned open for
    // write and the caller closes it. Null when there is none.
    AcDbLayout* findLayoutNamed(const ACHAR* name, bool leaveRecordOpen = false, AcDbDatabase* db = nullptr);
    AcDbObjectId getLayoutId(const ACHAR* name, AcDbDatabase* db = nullptr);
    int countLayouts(AcDbDatabase* db = nullptr);

private:
    std::wstring activeName_;
};

class AcDbHostApplicationServices {
public:
    // The product text (cadhost --product; "AutoCAD 2015" unless told otherwise).
    const ACHAR* product() const { return product_.c_str(); }
    const ACHAR* getProductName() const { return product_.c_str(); }
    void setProduct(const std::wstring& text) { product_ = text; }
    const ACHAR* program() const { return L"cadhost"; }
    const ACHAR* companyName() const { return L"Kelmo"; }
    const ACHAR* versionString() const { return L"20.0"; }
    const ACHAR* releaseMarketVersion() const { return L"2015"; }
    // The database of the current document unless another was made the working one.
    AcDbDatabase* workingDatabase() const;
    void setWorkingDatabase(AcDbDatabase* db);
    AcDbLayoutManager* layoutManager() { return &layouts_; }
    AcDbPlotSettingsValidator* plotSettingsValidator() const;

private:
    std::wstring product_ = L"AutoCAD 2015";
    AcDbLayoutManager layouts_;
};

AcDbHostApplicationServices* acdbHostApplicationServices();
