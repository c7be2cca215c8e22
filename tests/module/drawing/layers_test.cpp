#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadHost.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "support/HostFixture.h"

namespace {

const wchar_t* const kUri = L"http://schemas.kelmo.net/test";

class Layers : public drawingtest::WorkingDrawingFixture {
protected:
    // The drawing's record of that layer, read directly.
    struct Record {
        bool found = false;
        bool off = false, frozen = false, locked = false, plottable = false;
        int colour = -1;
        int lineWeight = -100;
    };
    Record record(const wchar_t* name) {
        Record r;
        AcDbObjectId id = db()->layerId(name);
        AcDbLayerTableRecord* layer = nullptr;
        if (id.isNull() || acdbOpenObject(layer, id, AcDb::kForRead) != Acad::eOk) return r;
        r.found = true;
        r.off = layer->isOff();
        r.frozen = layer->isFrozen();
        r.locked = layer->isLocked();
        r.plottable = layer->isPlottable();
        r.colour = layer->color().colorIndex();
        r.lineWeight = layer->lineWeight();
        layer->close();
        return r;
    }
    int layerCount() {
        AcDbLayerTable* table = nullptr;
        db()->getLayerTable(table, AcDb::kForRead);
        int count = 0;
        for (const AcDbObjectId& id : table->recordIds())
            if (!id.isErased()) ++count;
        table->close();
        return count;
    }
};

TEST(LayerList, NamesAddFindAndWholesaleSwitches) {
    EXPECT_EQ(CLayer::validateLayerName(L"A<B>/C"), L"ABC");
    EXPECT_EQ(CLayer::validateLayerName(L"A:B|C"), L"A:B|C");
    EXPECT_EQ(CLayer::validateLayerName(L"<>/\\\";?*,=`"), L"");

    CLayers list;
    for (const wchar_t* name : {L"WALLS", L"Walls", L"ATT-AREA", L"att-area", L"##HATCH"}) {
        auto* layer = new CLayer();
        layer->setName(name);
        EXPECT_TRUE(list.add(layer));
    }
    auto* again = new CLayer();
    again->setName(L"WALLS");
    EXPECT_FALSE(list.add(again)); // refused: still the caller's
    delete again;
    EXPECT_EQ(list.getCount(), 5);
    EXPECT_EQ(list.getAtLayer(L"walls"), list.getAt(0));
    EXPECT_EQ(list.getAtLayer(L"doors"), nullptr);
    bool thrown = false;
    drawingtest::innermostDescription([&] { list.getAt(5); }, &thrown);
    EXPECT_TRUE(thrown);

    list.setAllLayersOff(1);
    list.setAllLayersFrozen(1);
    EXPECT_EQ(list.getAt(1)->getOff(), 1);
    EXPECT_EQ(list.getAt(2)->getOff(), 0);
    EXPECT_EQ(list.getAt(3)->getFrozen(), 1);
    EXPECT_EQ(list.getAt(4)->getFrozen(), 0);
    AcDbObjectIdArray thawed, frozen;
    list.getFrozenThawedIds(thawed, frozen);
    EXPECT_EQ(frozen.length(), 3);
    EXPECT_EQ(thawed.length(), 2);
    list.deleteObjects();
    EXPECT_EQ(list.getCount(), 0);
}

TEST(LayerXml, NameAlwaysDescriptionWhenGiven) {
    CLayers list;
    auto* walls = new CLayer();
    walls->setName(L"WALLS");
    list.add(walls);
    auto* doors = new CLayer();
    doors->setName(L"Doors");
    doors->setDescription(L"Doors & frames");
    list.add(doors);
    IXMLDOMNodePtr element = list.serialize(kUri);
    EXPECT_EQ(CString(static_cast<const wchar_t*>(element->GetnodeName())), L"layersOn");
    IXMLDOMNodeListPtr children = element->GetchildNodes();
    ASSERT_EQ(children->Getlength(), 2);
    EXPECT_EQ(children->Getitem(0)->GetchildNodes()->Getlength(), 1);
    EXPECT_EQ(children->Getitem(1)->GetchildNodes()->Getlength(), 2);

    // A duplicate in a file is read once.
    element->appendChild(walls->serialize(kUri));
    CLayers read;
    read.deSerialize(element->GetchildNodes());
    ASSERT_EQ(read.getCount(), 2);
    EXPECT_EQ(read.getAt(0)->getName(), L"WALLS");
    EXPECT_EQ(read.getAt(0)->getDescription(), L"");
    EXPECT_EQ(read.getAt(1)->getName(), L"Doors");
    EXPECT_EQ(read.getAt(1)->getDescription(), L"Doors & frames");
    EXPECT_EQ(read.getAt(1)->getModified(), 0);
    EXPECT_EQ(read.getAt(1)->getPlottable(), 1);

    CLayers none;
    none.deSerialize(nullptr);
    EXPECT_EQ(none.getCount(), 0);
}

TEST_F(Layers, AppliedLayerIsCreatedOrChanged) {
    int before = layerCount();
    CLayer untouched;
    untouched.applyToDWG(drawing);
    CLayer nameless; // cannot be made: nothing is left behind
    nameless.setOff(1);
    nameless.applyToDWG(drawing);
    EXPECT_EQ(layerCount(), before);

    CLayer walls;
    walls.setName(L"WALLS");
    walls.setOff(1);
    walls.applyToDWG(drawing);
    Record created = record(L"WALLS");
    EXPECT_TRUE(created.off);
    EXPECT_EQ(created.colour, 0);
    EXPECT_EQ(created.lineWeight, 0);
    EXPECT_EQ(walls.getObjectId(), db()->layerId(L"WALLS"));

    host->addLayer(L"DOORS", 3);
    CLayer doors;
    doors.setName(L"DOORS");
    doors.setColourIndex(5);
    doors.setFrozen(1);
    doors.setLocked(1);
    doors.setPlottable(0);
    doors.setLineWeight(50);
    doors.applyToDWG(drawing);
    Record changed = record(L"DOORS");
    EXPECT_TRUE(changed.frozen && changed.locked && !changed.plottable);
    EXPECT_EQ(changed.lineWeight, 50);
    EXPECT_EQ(changed.colour, 3); // an existing layer keeps its colour
    EXPECT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);
}

TEST_F(Layers, EnsureLayerExistsTellsTheTruth) {
    EXPECT_EQ(CLayer::ensureLayerExists(L"ATT-NAME", drawing), 1);
    EXPECT_TRUE(record(L"ATT-NAME").found);
    EXPECT_EQ(CLayer::ensureLayerExists(L"att-name", drawing), 1);
    EXPECT_EQ(CLayer::ensureLayerExists(L"Hatch<1>", drawing), 1);
    EXPECT_TRUE(record(L"Hatch1").found);
    int before = layerCount();
    EXPECT_EQ(CLayer::ensureLayerExists(L"**", drawing), 0);
    EXPECT_EQ(layerCount(), before);
    acDocManager->setLockFailure(Acad::eLockViolation);
    EXPECT_EQ(CLayer::ensureLayerExists(L"LATER", drawing), 0);
    EXPECT_FALSE(record(L"LATER").found);
    EXPECT_EQ(doc()->lockCount(), 0);
}

TEST_F(Layers, ListEnsureNeedsTheCallersLock) {
    CLayers list;
    AcCmColor red;
    red.setColorIndex(1);
    EXPECT_EQ(list.ensureLayerExists(drawing, L"MARKERS", red), 0);
    EXPECT_FALSE(record(L"MARKERS").found);
    drawing->lock();
    EXPECT_EQ(list.ensureLayerExists(drawing, L"MARKERS", red), 1);
    EXPECT_EQ(list.ensureLayerExists(drawing, L"?", red), 0);
    drawing->unlock(0);
    EXPECT_EQ(record(L"MARKERS").colour, 1);
}

TEST_F(Layers, DrawingLayersAreReadInUpperCase) {
    host->addLayer(L"Walls", 2);
    CLayers list;
    list.getDWGLayers(drawing);
    EXPECT_EQ(list.getCount(), layerCount());
    CLayer* walls = list.getAtLayer(L"walls");
    ASSERT_NE(walls, nullptr);
    EXPECT_EQ(walls->getName(), L"WALLS");
    EXPECT_EQ(walls->getColourIndex(), 2);
    EXPECT_EQ(walls->getModified(), 1);
    EXPECT_EQ(walls->getObjectId(), db()->layerId(L"Walls"));

    // A clean record still looks the layer up.
    CLayer layer;
    EXPECT_EQ(layer.getDWGLayer(drawing, L"walls"), 1);
    EXPECT_EQ(layer.getColourIndex(), 2);
    EXPECT_EQ(layer.getDWGLayer(drawing, L"NOWHERE"), 0);
    EXPECT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);
}

TEST_F(Layers, OnLayerBecomesCurrentButNeverNothingOrFrozen) {
    AcDbObjectId before = db()->clayer();
    host->addLayer(L"WALLS");
    host->addLayer(L"ICE");
    CLayers list;
    auto* unknown = new CLayer();
    unknown->setName(L"NOWHERE");
    list.add(unknown);
    list.setOnLayerToCurrent(drawing);
    EXPECT_EQ(db()->clayer(), before);

    CLayer ice;
    ice.setName(L"ICE");
    ice.setFrozen(1);
    ice.applyToDWG(drawing);
    auto* iceOn = new CLayer();
    iceOn->setName(L"ICE");
    list.add(iceOn);
    list.setOnLayerToCurrent(drawing);
    EXPECT_EQ(db()->clayer(), before);

    auto* walls = new CLayer();
    walls->setName(L"WALLS");
    list.add(walls);
    auto* off = new CLayer();
    off->setName(L"0");
    list.add(off);
    list.setOnLayerToCurrent(drawing);
    EXPECT_EQ(db()->clayer(), db()->layerId(L"WALLS"));
    EXPECT_EQ(doc()->lockCount(), 0);
}

} // namespace
