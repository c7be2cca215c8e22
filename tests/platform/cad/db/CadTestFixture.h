#pragma once
// A test with its own database as the working database, and checked ways to fill it.
#include <gtest/gtest.h>

#include "cad/AcDb.h"

class CadTestFixture : public ::testing::Test {
protected:
    void SetUp() override { acdbSetWorkingDatabase(&db); }
    void TearDown() override { acdbSetWorkingDatabase(nullptr); }

    // Appends to a block (model space by default) and closes both.
    AcDbObjectId append(AcDbEntity* ent, AcDbObjectId space = AcDbObjectId()) {
        AcDbBlockTableRecord* btr = nullptr;
        EXPECT_EQ(acdbOpenObject(btr, space.isNull() ? db.modelSpaceId() : space, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(btr->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        btr->close();
        return id;
    }

    AcDbObjectId defineBlock(const wchar_t* name, const AcGePoint3d& origin = AcGePoint3d::kOrigin) {
        AcDbBlockTable* bt = nullptr;
        EXPECT_EQ(db.getBlockTable(bt, AcDb::kForWrite), Acad::eOk);
        auto* def = new AcDbBlockTableRecord;
        def->setName(name);
        def->setOrigin(origin);
        AcDbObjectId id;
        EXPECT_EQ(bt->add(id, def), Acad::eOk);
        def->close();
        bt->close();
        return id;
    }

    AcDbDatabase db;
};
