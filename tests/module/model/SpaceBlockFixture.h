#pragma once
// A host document with a working drawing around it, and space blocks built in it.
#include <memory>

#include "ModelTestSupport.h"
#include "drawing/AcadDrawing.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"

namespace modeltest {

class SpaceBlockFixture : public kelmo_test::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        drawing = std::make_unique<CAcadDrawing>();
        drawing->setDocument(doc());
        drawing->setDrawingOpen(1);
        drawing->setLeaveOpen(1);
    }
    void TearDown() override {
        EXPECT_EQ(openObjects(db()), 0u) << "objects left open";
        EXPECT_EQ(doc()->lockCount(), 0) << "lock levels left held";
        drawing.reset();
        HostFixture::TearDown();
    }

    // An insert of a room definition (made when missing) with attribute values and extended data.
    AcDbObjectId room(const std::wstring& name, double width, double height, const AcGePoint3d& at,
                      const std::wstring& code = L"R1", const std::vector<std::wstring>& data = {}, double scale = 1.0,
                      double rotation = 0.0, const wchar_t* app = L"ADE") {
        if (db()->blockId(name).isNull()) defineRoom(*host, name, width, height);
        AcDbObjectId id = host->insertBlock(name, at, scale, rotation, {{L"NAME", code}, {L"AREA", L"0"}});
        if (!data.empty()) setXData(db(), id, app, data);
        return id;
    }

    // The block object built from the reference, as the collection's queries build it.
    template <class T, class... Extra>
    T* read(AcDbObjectId id, Extra... extra) {
        AcDbBlockReference* reference = nullptr;
        EXPECT_EQ(acdbOpenObject(reference, id, AcDb::kForRead), Acad::eOk);
        T* block = new T(reference, doc(), extra...);
        reference->close();
        return block;
    }

    template <class T = AcDbEntity>
    T* open(AcDbObjectId id) {
        T* object = nullptr;
        EXPECT_EQ(acdbOpenObject(object, id, AcDb::kForRead), Acad::eOk);
        return object;
    }

    // The addresses of the entity's hyperlinks, in order.
    std::vector<std::wstring> hyperlinksOf(AcDbObjectId id) {
        AcDbEntity* entity = open(id);
        CHyperlinks links(entity);
        entity->close();
        std::vector<std::wstring> hrefs;
        for (int i = 0; i < links.getCount(); ++i) hrefs.emplace_back(links.getAt(i)->getHref());
        return hrefs;
    }

    std::unique_ptr<CAcadDrawing> drawing;
};

} // namespace modeltest
