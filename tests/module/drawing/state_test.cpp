#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadDrawingState.h"
#include "drawing/AcadHost.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "drawing/Layout.h"
#include "drawing/Layouts.h"
#include "support/HostFixture.h"

namespace {

const wchar_t* const kUri = L"http://schemas.kelmo.net/test";

// A drawing with layers and two paper layouts, the first holding two viewports, the second one.
class DrawingState : public drawingtest::WorkingDrawingFixture {
protected:
    void SetUp() override {
        WorkingDrawingFixture::SetUp();
        host->addLayer(L"Walls", 1);
        host->addLayer(L"Doors", 2);
        host->addLayer(L"Furniture", 3);
        acDocManager->lockDocument(doc());
        viewportA = drawingtest::append(*db(), new AcDbViewport(), ACDB_PAPER_SPACE);
        viewportB = drawingtest::append(*db(), new AcDbViewport(), ACDB_PAPER_SPACE);
        addLayout(L"Layout2", L"*Paper_Space0");
        viewportC = drawingtest::append(*db(), new AcDbViewport(), L"*Paper_Space0");
        acDocManager->unlockDocument(doc());
    }

    void addLayout(const wchar_t* name, const wchar_t* blockName) {
        AcDbObjectId block = drawingtest::defineBlock(*db(), blockName);
        AcDbDictionary* layouts = nullptr;
        db()->getLayoutDictionary(layouts, AcDb::kForWrite);
        auto* layout = new AcDbLayout();
        layout->setLayoutName(name);
        layout->setTabOrder(2);
        layout->setBlockTableRecordId(block);
        AcDbObjectId layoutId;
        layouts->setAt(name, layout, layoutId);
        layout->close();
        layouts->close();
        AcDbBlockTableRecord* record = nullptr;
        acdbOpenObject(record, block, AcDb::kForWrite);
        record->setLayoutId(layoutId);
        record->close();
    }

    // Applies under the caller's lock, as the commands do.
    void apply(CAcadDrawingState& state, int perViewport) {
        drawing->lock();
        state.applyState(drawing, perViewport);
        drawing->unlock(0);
    }
    void makeCurrent(const wchar_t* layout) {
        drawing->lock();
        acdbHostApplicationServices()->layoutManager()->setCurrentLayout(layout);
        drawing->unlock(0);
    }
    CString active() { return acdbHostApplicationServices()->layoutManager()->findActiveLayout(true); }

    bool layerFlag(const wchar_t* name, bool (AcDbLayerTableRecord::*flag)() const) {
        AcDbLayerTableRecord* record = nullptr;
        if (acdbOpenObject(record, db()->layerId(name), AcDb::kForRead) != Acad::eOk) return false;
        bool value = (record->*flag)();
        record->close();
        return value;
    }
    int lineWeight(const wchar_t* name) {
        AcDbLayerTableRecord* record = nullptr;
        if (acdbOpenObject(record, db()->layerId(name), AcDb::kForRead) != Acad::eOk) return -100;
        int value = record->lineWeight();
        record->close();
        return value;
    }
    bool frozenIn(AcDbObjectId viewportId, const wchar_t* layer) {
        AcDbViewport* viewport = nullptr;
        if (acdbOpenObject(viewport, viewportId, AcDb::kForRead) != Acad::eOk) return false;
        bool value = viewport->isLayerFrozenInViewport(db()->layerId(layer));
        viewport->close();
        return value;
    }

    AcDbObjectId viewportA, viewportB, viewportC;
};

TEST_F(DrawingState, TakeOffStateAndRestore) {
    makeCurrent(L"Layout1");
    CAcadDrawingState original(drawing);
    CAcadDrawingState changed(drawing);
    EXPECT_EQ(original.getLayoutName(), L"Layout1");
    original.setLayerState(L"doors", 1, 1, 1, 0); // the drawing's state before the command
    apply(original, 0);
    EXPECT_TRUE(layerFlag(L"Doors", &AcDbLayerTableRecord::isFrozen));

    CAcadDrawingState before(drawing);
    drawing->lock();
    before.setStateForTakeOff(drawing);
    drawing->unlock(0);
    EXPECT_EQ(active(), L"Model");
    EXPECT_FALSE(layerFlag(L"Doors", &AcDbLayerTableRecord::isFrozen));
    EXPECT_FALSE(layerFlag(L"Doors", &AcDbLayerTableRecord::isOff));
    EXPECT_FALSE(layerFlag(L"Doors", &AcDbLayerTableRecord::isLocked));
    EXPECT_TRUE(layerFlag(L"Doors", &AcDbLayerTableRecord::isPlottable));

    apply(original, 0);
    EXPECT_EQ(active(), L"Layout1");
    EXPECT_TRUE(layerFlag(L"Doors", &AcDbLayerTableRecord::isOff));
    EXPECT_FALSE(layerFlag(L"Walls", &AcDbLayerTableRecord::isOff));
}

TEST_F(DrawingState, AllOffKeepsTheCapturedLayout) {
    makeCurrent(L"Layout1");
    CAcadDrawingState state(drawing);
    int regens = doc()->regenCount();
    drawing->lock();
    state.setStateAllOff(drawing);
    drawing->unlock(0);
    EXPECT_EQ(active(), L"Layout1");
    for (const wchar_t* name : {L"0", L"Walls", L"Doors", L"Furniture"})
        EXPECT_TRUE(layerFlag(name, &AcDbLayerTableRecord::isOff)) << CString(name).ToUtf8();
    EXPECT_EQ(doc()->regenCount(), regens + 1);
}

TEST_F(DrawingState, LayerStateChangesOrAddsAndLineWeightsGoToZero) {
    CAcadDrawingState state(drawing);
    EXPECT_EQ(state.getLayoutName(), L"Model");
    EXPECT_EQ(state.getLayers()->getCount(), 4); // "0" and the three
    state.setLayerState(L"walls", 0, 0, 1, 1);
    state.setLayerState(L"Link<Lines>", 0, 0, 0, 1);
    state.setAllLayerLineWeights(0);
    EXPECT_EQ(state.getLayers()->getCount(), 5);
    apply(state, 0);
    EXPECT_TRUE(layerFlag(L"Walls", &AcDbLayerTableRecord::isOff));
    EXPECT_FALSE(db()->layerId(L"LinkLines").isNull());
    for (const wchar_t* name : {L"0", L"Walls", L"Doors", L"LinkLines"})
        EXPECT_EQ(lineWeight(name), 0) << CString(name).ToUtf8();
}

TEST_F(DrawingState, PerViewportFreezingStaysInItsLayout) {
    CAcadDrawingState model(drawing);
    model.setLayerState(L"Furniture", 1, 0, 0, 1);
    apply(model, 1); // model space has no viewports to freeze in
    EXPECT_FALSE(frozenIn(viewportA, L"Furniture"));

    makeCurrent(L"Layout1");
    CAcadDrawingState state(drawing);
    state.setLayerState(L"Furniture", 1, 0, 0, 1);
    apply(state, 1);
    EXPECT_TRUE(frozenIn(viewportA, L"Furniture"));
    EXPECT_TRUE(frozenIn(viewportB, L"Furniture"));
    EXPECT_FALSE(frozenIn(viewportA, L"Walls"));
    EXPECT_FALSE(frozenIn(viewportC, L"Furniture"));
    state.setLayerState(L"Furniture", 0, 0, 0, 1);
    apply(state, 1);
    EXPECT_FALSE(frozenIn(viewportA, L"Furniture"));

    // Without layers the layout is still made current and the drawing regenerated.
    CLayers* layers = state.getLayers();
    state.setLayers(nullptr);
    delete layers;
    state.setLayoutName(L"Layout2");
    int regens = doc()->regenCount();
    apply(state, 1);
    EXPECT_EQ(active(), L"Layout2");
    EXPECT_EQ(doc()->regenCount(), regens + 1);
}

TEST_F(DrawingState, XmlFormCarriesLayoutAndNames) {
    CAcadDrawingState state(drawing);
    state.getLayers()->getAtLayer(L"WALLS")->setDescription(L"outer walls");
    IXMLDOMNodePtr element = state.serialize(kUri);
    EXPECT_EQ(CString(static_cast<const wchar_t*>(element->GetnodeName())), L"AcadDrawingState");

    CAcadDrawingState read(drawing);
    read.setLayoutName(L"Layout2");
    read.deSerialize(element);
    EXPECT_EQ(read.getLayoutName(), L"Model");
    ASSERT_EQ(read.getLayers()->getCount(), 4);
    CLayer* walls = read.getLayers()->getAtLayer(L"WALLS");
    ASSERT_NE(walls, nullptr);
    EXPECT_EQ(walls->getDescription(), L"outer walls");
    EXPECT_EQ(walls->getModified(), 0);

    // Read-back layers write nothing until marked.
    CLayer doorsOff;
    doorsOff.setName(L"DOORS");
    doorsOff.setOff(1);
    doorsOff.applyToDWG(drawing);
    apply(read, 0);
    EXPECT_TRUE(layerFlag(L"Doors", &AcDbLayerTableRecord::isOff));

    read.deSerialize(nullptr);
    CAcadDrawingState other(drawing);
    IXMLDOMNodePtr wrong = CAcadDrawingState(drawing).getLayers()->serialize(kUri);
    other.deSerialize(wrong);
    EXPECT_EQ(other.getLayers()->getCount(), 4);
}

TEST_F(DrawingState, LayoutsOfTheDrawing) {
    CLayouts layouts;
    layouts.getDWGLayouts(drawing);
    ASSERT_EQ(layouts.getCount(), 3);
    std::vector<CString> names;
    for (int i = 0; i < layouts.getCount(); ++i) names.push_back(layouts.getAt(i)->getName());
    EXPECT_NE(std::find(names.begin(), names.end(), CString(L"Model")), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), CString(L"Layout1")), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), CString(L"Layout2")), names.end());
    EXPECT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);

    auto* again = new CLayout();
    again->setName(L"Layout1");
    EXPECT_FALSE(layouts.add(again));
    delete again;
    auto* lower = new CLayout();
    lower->setName(L"layout1");
    EXPECT_TRUE(layouts.add(lower));
    EXPECT_EQ(layouts.getCount(), 4);
    bool thrown = false;
    drawingtest::innermostDescription([&] { layouts.getAt(4); }, &thrown);
    EXPECT_TRUE(thrown);
}

} // namespace
