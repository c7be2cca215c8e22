#include "cad/app/AutomationApplication.h"
#include "classlib/DispatchDriver.h"
#include "support/HostFixture.h"

#include <gtest/gtest.h>

using kelmo_test::HostFixture;

namespace {

VARIANT pointVariant(double x, double y, double z) {
    VARIANT v;
    VariantInit(&v);
    SAFEARRAY* a = SafeArrayCreateVector(VT_R8, 0, 3);
    double xyz[3] = {x, y, z};
    for (LONG i = 0; i < 3; ++i) SafeArrayPutElement(a, &i, &xyz[i]);
    V_VT(&v) = VT_ARRAY | VT_R8;
    V_ARRAY(&v) = a;
    return v;
}

TEST_F(HostFixture, AutomationZoomsRegeneratesAndClosesTheActiveDocument) {
    host->addRectangle(0, 0, 40, 20);
    COleDispatchDriver app(AcadGetIDispatch(true));
    app.SetProperty(automation::kAppVisible, VT_BOOL, TRUE);
    EXPECT_TRUE(automation::applicationVisible());

    app.InvokeHelper(automation::kAppZoomExtents, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
    EXPECT_DOUBLE_EQ(doc()->view().maxX, 40);
    VARIANT a = pointVariant(1, 2, 0), b = pointVariant(11, 7, 0);
    app.InvokeHelper(automation::kAppZoomWindow, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_VARIANT VTS_VARIANT, &a, &b);
    VariantClear(&a);
    VariantClear(&b);
    EXPECT_DOUBLE_EQ(doc()->view().minX, 1);
    EXPECT_DOUBLE_EQ(doc()->view().maxY, 7);
    EXPECT_EQ(doc()->previousViewCount(), 2u);
    app.InvokeHelper(automation::kAppZoomPrevious, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
    EXPECT_DOUBLE_EQ(doc()->view().maxX, 40);

    LPDISPATCH active = nullptr;
    app.InvokeHelper(automation::kAppActiveDocument, DISPATCH_PROPERTYGET, VT_DISPATCH, &active, VTS_NONE);
    ASSERT_NE(active, nullptr);
    COleDispatchDriver document(active);
    document.InvokeHelper(automation::kDocRegen, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_I4, 1);
    EXPECT_EQ(doc()->regenCount(), 1);

    // Zooms and closing act on the active document, not on the one a caller holds.
    AcApDocument* second = host->addDocument(L"Z:\\tmp\\other.dxf");
    ASSERT_EQ(acDocManager->mdiActiveDocument(), second);
    VARIANT missing;
    VariantInit(&missing);
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    document.InvokeHelper(automation::kDocClose, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_BOOL VTS_VARIANT, FALSE,
                          &missing);
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(acDocManager->mdiActiveDocument(), doc());
    // An unknown member is refused with the dispatch error.
    EXPECT_ANY_THROW({
        try {
            app.InvokeHelper(999, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
        } catch (CException* e) {
            e->Delete();
            throw 1;
        }
    });
}

} // namespace
