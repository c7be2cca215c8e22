#include "model/Blocks.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "cad/app/ApDocument.h"
#include "cad/editor/EdSelection.h"
#include "cad/editor/EdWildcard.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Block.h"
#include "model/BlockDWG.h"
#include "model/BlockDWGBuilding.h"
#include "model/BlockDWGFloor.h"
#include "model/BlockDWGRoom.h"
#include "model/BlockDWGSite.h"
#include "model/BlockVXRBuilding.h"
#include "model/BlockVXRFloor.h"
#include "model/BlockVXRRoom.h"
#include "model/BlockVXRSite.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/Hatch.h"
#include "model/Hyperlinks.h"
#include "model/KelmoAttribute.h"
#include "model/RegisterSupport.h"
#include "model/ModelSupport.h"
#include "reports/MarkerBlockLegend.h"
#include "reports/MarkerBlockPie.h"

KELMO_SOURCE_FILE(L"Blocks");

using kelmo_model::HeldLock;
using kelmo_model::nodeName;
using kelmo_model::OpenedObject;

namespace {

constexpr const wchar_t* kGrossAreaDefinition = L"ROOM-GROSS_AREA";
constexpr const wchar_t* kGrossAreaName = L"GROSS AREA";
constexpr const wchar_t* kLegendDefinition = L"MARKER-LEGEND";
constexpr const wchar_t* kPieDefinition = L"MARKER-PIECHART";

int selectInserts(const wchar_t* blockName, ads_name selection) {
    resbuf* filter =
        blockName ? acutBuildList(RTDXF0, L"INSERT", 2, blockName, 0) : acutBuildList(RTDXF0, L"INSERT", 0);
    int result = acedSSGet(L"X", nullptr, nullptr, filter, selection);
    acutRelRb(filter);
    return result;
}

// The handle text as the unsigned number it stands for; text that is no handle counts as 0.
std::uint64_t handleKey(const CString& text) {
    return AcDbHandle(static_cast<const wchar_t*>(text)).value();
}

// The drawing form of a block, when its type code says it has one.
CBlockDWG* asDrawingBlock(CBlock* block) {
    if (!block || block->getBlockType() < CBlock::typeDWG || block->getBlockType() > CBlock::typeDWGSite)
        return nullptr;
    return dynamic_cast<CBlockDWG*>(block);
}

// Hands each insert of a definition the pattern names to visit, open for read, in the order a whole-drawing
// selection gives them: model space, then the paper spaces.
template <class Visit>
void eachInsertOf(AcDbDatabase* database, const wchar_t* pattern, Visit&& visit) {
    AcDbBlockTable* table = nullptr;
    if (!database || database->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return;
    std::vector<AcDbObjectId> layouts = {database->modelSpaceId()};
    AcDbBlockTableIterator* iterator = nullptr;
    table->newIterator(iterator);
    for (; iterator && !iterator->done(); iterator->step()) {
        AcDbBlockTableRecord* record = nullptr;
        if (iterator->getRecord(record, AcDb::kForRead) != Acad::eOk) continue;
        if (record->isLayout() && record->objectId() != database->modelSpaceId()) layouts.push_back(record->objectId());
        record->close();
    }
    delete iterator;
    table->close();
    for (const AcDbObjectId& layoutId : layouts) {
        AcDbBlockTableRecord* layout = nullptr;
        if (acdbOpenObject(layout, layoutId, AcDb::kForRead) != Acad::eOk) continue;
        const std::vector<AcDbObjectId> ids = layout->entityIds();
        layout->close();
        for (const AcDbObjectId& id : ids) {
            AcDbBlockReference* reference = nullptr;
            if (id.isErased() || acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(reference);
            // Inserts only, as the selection's filter takes them: no table.
            if (std::wcscmp(reference->isA()->dxfName(), L"INSERT") != 0) continue;
            AcDbBlockTableRecord* definition = nullptr;
            if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) continue;
            const CString name = definition->getName();
            definition->close();
            if (ed::wildcardMatch(static_cast<const wchar_t*>(name), pattern)) visit(reference);
        }
    }
}

// Hands each block reference of the selection set the query made (with its status) to visit, open
// for read; then frees the set and zooms back to the view before the query, on every way out.
template <class Visit>
void eachSelectedReference(CAcadDrawing* drawing, int result, ads_name selection, Visit&& visit) {
    if (result == RTNORM) {
        try {
            Adesk::Int32 length = 0;
            if (acedSSLength(selection, &length) == RTNORM) {
                for (Adesk::Int32 i = 0; i < length; ++i) {
                    ads_name name;
                    AcDbObjectId id;
                    if (acedSSName(selection, i, name) != RTNORM || acdbGetObjectId(id, name) != Acad::eOk) continue;
                    AcDbBlockReference* reference = nullptr;
                    if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
                    OpenedObject opened(reference);
                    visit(reference);
                }
            }
        } catch (...) {
            acedSSFree(selection);
            drawing->zoomPrevious();
            throw;
        }
        acedSSFree(selection);
    }
    drawing->zoomPrevious();
}

} // namespace

CBlocks::CBlocks() : m_count(0) {}

CBlocks::~CBlocks() {
    deleteObjects();
}

// ---------------------------------------------------------------------------------------------------------
// Drawing queries

void CBlocks::addSpaceBlock(CAcadDrawing* drawing, AcDbBlockReference* reference, const CString& definitionName,
                            int loadAssets, const CString& level) {
    CString name = readNameFromXData(reference);
    bool grossArea = definitionName == kGrossAreaDefinition || name == kGrossAreaName;
    bool floorLevel = level == L"f";
    AcApDocument* document = drawing->getDocument();
    CBlock* block = nullptr;
    if (grossArea) {
        block = floorLevel ? static_cast<CBlock*>(new CBlockDWGFloor(reference, document))
                           : static_cast<CBlock*>(new CBlockDWGSite(reference, document));
    } else {
        block = floorLevel ? static_cast<CBlock*>(new CBlockDWGRoom(reference, document, loadAssets))
                           : static_cast<CBlock*>(new CBlockDWGBuilding(reference, document));
    }
    addBlock(block);
}

void CBlocks::selectBlocks(CAcadDrawing* drawing, Query query, int loadAssets, const CString& level) {
    if (drawing->lock() != Acad::eOk) return;
    HeldLock held(drawing);
    const wchar_t* pattern = query == Query::spaces   ? L"ROOM-*"
                             : query == Query::legend ? kLegendDefinition
                                                      : kPieDefinition;
    auto take = [&](AcDbBlockReference* reference) {
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return;
        CString definitionName = definition->getName();
        definition->close();
        if (query == Query::spaces) {
            addSpaceBlock(drawing, reference, definitionName, loadAssets, level);
        } else if (query == Query::legend && definitionName == kLegendDefinition) {
            addBlock(new CMarkerBlockLegend(reference, drawing->getDocument()));
        } else if (query == Query::pie && definitionName == kPieDefinition) {
            addBlock(new CMarkerBlockPie(reference, drawing->getDocument()));
        }
    };
    // A selection reaches only the current drawing: one that is not current (a dialog's, while the user
    // works in another) is walked as the selection would go, and its view is left alone.
    if (drawing->getDocument() != acDocManager->curDocument()) {
        eachInsertOf(drawing->getDatabase(), pattern, take);
        return;
    }
    drawing->zoomExtents();
    ads_name selection = {0, 0};
    const int result = query == Query::spaces   ? getKelmoBlockSS(selection)
                       : query == Query::legend ? getLegendBlockSS(selection)
                                                : getPieBlockSS(selection);
    eachSelectedReference(drawing, result, selection, take);
}

void CBlocks::getKelmoDWGBlocks_SS(CAcadDrawing* drawing, int*, int loadAssets, CString level) {
    KELMO_TRY
        selectBlocks(drawing, Query::spaces, loadAssets, level);
    KELMO_CATCH_ALSO(L"CBlocks::getKelmoDWGBlocks_SS", kelmo::catchClassLib)
}

void CBlocks::getLegendBlock_SS(CAcadDrawing* drawing) {
    KELMO_TRY
        selectBlocks(drawing, Query::legend, 0, CString());
    KELMO_CATCH_ALSO(L"CBlocks::getLegendBlock_SS", kelmo::catchClassLib)
}

void CBlocks::getPieBlock_SS(CAcadDrawing* drawing) {
    KELMO_TRY
        selectBlocks(drawing, Query::pie, 0, CString());
    KELMO_CATCH_ALSO(L"CBlocks::getPieBlock_SS", kelmo::catchClassLib)
}

void CBlocks::getKelmoDWGBlocks_I(CAcadDrawing* drawing, int*, int loadAssets, CString level) {
    KELMO_TRY
        if (drawing->getDrawingOpen() == 0) return;
        AcDbDatabase* database = drawing->getDatabase();
        AcDbBlockTable* table = nullptr;
        if (!database || database->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return;
        AcDbBlockTableRecord* modelSpace = nullptr;
        Acad::ErrorStatus status = table->getAt(ACDB_MODEL_SPACE, modelSpace, AcDb::kForRead);
        table->close();
        if (status != Acad::eOk) return;
        OpenedObject openedModelSpace(modelSpace);
        const std::vector<AcDbObjectId> ids = modelSpace->entityIds();
        for (const AcDbObjectId& id : ids) {
            if (id.isErased()) continue;
            AcDbBlockReference* reference = nullptr;
            if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(reference);
            AcDbBlockTableRecord* definition = nullptr;
            if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) continue;
            CString definitionName = definition->getName();
            definition->close();
            // The same space blocks the selection finds: "ROOM-" definitions only.
            if (!ed::wildcardMatch(static_cast<const wchar_t*>(definitionName), L"ROOM-*")) continue;
            addSpaceBlock(drawing, reference, definitionName, loadAssets, level);
        }
    KELMO_CATCH_ALSO(L"CBlocks::getKelmoDWGBlocks_I", kelmo::catchClassLib)
}

void CBlocks::getAcadBlocks(CAcadDrawing* drawing, int*) {
    KELMO_TRY
        drawing->zoomExtents();
        if (drawing->lock() != Acad::eOk) return;
        HeldLock held(drawing);
        ads_name selection = {0, 0};
        const int result = getAcadBlockSS(selection);
        eachSelectedReference(drawing, result, selection, [&](AcDbBlockReference* reference) {
            addBlock(new CBlockDWG(reference, drawing->getDocument()));
        });
    KELMO_CATCH_ALSO(L"CBlocks::getAcadBlocks", kelmo::catchClassLib)
}

int CBlocks::getKelmoBlockSS(ads_name selection) {
    KELMO_TRY
        return selectInserts(L"ROOM-*", selection);
    KELMO_CATCH_ALSO(L"CBlocks::getKelmoBlockSS", kelmo::catchClassLib)
}

int CBlocks::getLegendBlockSS(ads_name selection) {
    KELMO_TRY
        return selectInserts(kLegendDefinition, selection);
    KELMO_CATCH_ALSO(L"CBlocks::getLegendBlockSS", kelmo::catchClassLib)
}

int CBlocks::getPieBlockSS(ads_name selection) {
    KELMO_TRY
        return selectInserts(kPieDefinition, selection);
    KELMO_CATCH_ALSO(L"CBlocks::getPieBlockSS", kelmo::catchClassLib)
}

int CBlocks::getAcadBlockSS(ads_name selection) {
    KELMO_TRY
        return selectInserts(nullptr, selection);
    KELMO_CATCH_ALSO(L"CBlocks::getAcadBlockSS", kelmo::catchClassLib)
}

CString CBlocks::readNameFromXData(AcDbBlockReference* reference) {
    KELMO_TRY
        if (!reference) return CString();
        resbuf* data = reference->xData(L"ADE");
        if (!data) data = reference->xData(L"AECXDATA");
        CString name;
        for (resbuf* item = data; item; item = item->rbnext) {
            if (item->restype != 1000 || !item->resval.rstring) continue;
            if (std::wcsncmp(item->resval.rstring, L"NAME=", 5) == 0) {
                name = item->resval.rstring + 5;
                break;
            }
        }
        if (data) acutRelRb(data);
        return name;
    KELMO_CATCH_ALSO(L"CBlocks::readNameFromXData", kelmo::catchClassLib)
}

void CBlocks::zoomToBlocks(CAcadDrawing* drawing, double margin) {
    KELMO_TRY
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlocks::zoomToBlocks", 314, CString(),
                                   nullptr);
        HeldLock held(drawing);
        // Nothing measured until a block gives its extents; then the window holds every block.
        bool measured = false;
        AcGePoint3d lower(1e30, 1e30, 1e30);
        AcGePoint3d upper(-1e30, -1e30, -1e30);
        CAcadUtilities utilities;
        for (int i = 0; i < m_count; ++i) {
            CBlockDWG* block = asDrawingBlock(m_blocks[i]);
            if (!block) continue;
            AcDbEntity* reference = nullptr;
            if (acdbOpenAcDbEntity(reference, block->getObjectId(), AcDb::kForRead) != Acad::eOk) continue;
            AcGePoint3d minimum;
            AcGePoint3d maximum;
            BOOL found = utilities.getBlockExtents(reference, minimum, maximum, margin);
            reference->close();
            if (!found) continue;
            measured = true;
            lower.x = std::min(lower.x, minimum.x);
            lower.y = std::min(lower.y, minimum.y);
            upper.x = std::max(upper.x, maximum.x);
            upper.y = std::max(upper.y, maximum.y);
        }
        if (measured) drawing->zoomWindow(lower, upper);
    KELMO_CATCH_ALSO(L"CBlocks::zoomToBlocks", kelmo::catchClassLib)
}

// ---------------------------------------------------------------------------------------------------------
// Register queries

void CBlocks::getVXRBlocks(CStoredProcedure* procedure, int timeout, int parentID, int loadAssets) {
    const wchar_t* method = L"CBlocks::getVXRBlocks";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        call.addInt(L"@parentID", 1, parentID);
        // The query runs under the procedure's own time limit; the given one is for the rooms' assets.
        call.prepare(L"__to_getBlocksFromVXR", -1);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (!rows.empty()) {
            while (!rows.atEnd()) {
                const CString type = rows.text(L"type");
                CBlockVXR* block = type == L"r"   ? static_cast<CBlockVXR*>(new CBlockVXRRoom())
                                   : type == L"f" ? static_cast<CBlockVXR*>(new CBlockVXRFloor())
                                   : type == L"b" ? static_cast<CBlockVXR*>(new CBlockVXRBuilding())
                                                  : static_cast<CBlockVXR*>(new CBlockVXRSite());
                try {
                    int id = block->getId();
                    rows.readInt(L"id", id);
                    if (type == L"r" && loadAssets != 0) {
                        CAssets* assets = new CAssets();
                        block->setAssets(assets);
                        assets->getLocationAssets(procedure, id, timeout);
                    }
                    block->setId(id);
                    int parentId = block->getParentId();
                    rows.readInt(L"parentid", parentId);
                    block->setParentId(parentId);
                    block->setName(rows.text(L"name"));
                    block->setCode(rows.text(L"code"));
                    // "0" first: the location exists; "1" second: it is a duplicate. A shorter text
                    // lacks the flag.
                    const CString status = rows.text(L"status");
                    if (status.GetLength() >= 1 && status[0] == L'0') block->setStatusExists(1);
                    if (status.GetLength() >= 2 && status[1] == L'1') block->setStatusDuplicate(1);
                    double area = block->getArea();
                    rows.readDouble(L"area", area);
                    block->setArea(area);
                    if (!rows.isNull(L"handle")) block->setHandle(rows.text(L"handle"));
                    double perimeter = block->getPerimeter();
                    rows.readDouble(L"perimeter", perimeter);
                    block->setPerimeter(perimeter);
                } catch (...) {
                    deleteObject(block);
                    throw;
                }
                addBlock(block);
                rows.next();
            }
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CBlocks::getCategoryDWGBlocks(CStoredProcedure* procedure, int timeout, int categoryID, CHatch* hatch) {
    const wchar_t* method = L"CBlocks::getCategoryDWGBlocks";
    static const wchar_t* const swapColumns[] = {L"mbSwapName", L"mbSwapArea", L"mbSwapAux"};
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        call.addInt(L"@categoryID", 1, categoryID);
        call.prepare(L"__gr_getCategoryBlocks", -1);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (!rows.empty()) {
            while (!rows.atEnd()) {
                CBlockDWG* block = new CBlockDWG();
                try {
                    if (!rows.isNull(L"mbHandle")) block->setHandle(rows.text(L"mbHandle"));
                    if (!rows.isNull(L"mbName")) block->setName(rows.text(L"mbName"));
                    if (!rows.isNull(L"mbCode")) block->setCode(rows.text(L"mbCode"));
                    double area = block->getArea();
                    rows.readDouble(L"mbArea", area);
                    block->setArea(area);
                    CAttributes* attributes = new CAttributes();
                    block->setAttributes(attributes);
                    for (int swapType = 0; swapType < 3; ++swapType) {
                        const CString value = rows.text(swapColumns[swapType]);
                        if (value.IsEmpty()) continue;
                        CKelmoAttribute* attribute = new CKelmoAttribute();
                        attribute->setSwapType(swapType);
                        attribute->setValue(value);
                        attribute->setExists(1);
                        int before = attributes->getCount();
                        if (attributes->add(attribute, 0) == before) delete attribute;
                    }
                    // Nested on the same procedure while this row set is read.
                    CHyperlinks* hyperlinks = new CHyperlinks();
                    try {
                        hyperlinks->getBlockHyperlinks(procedure, timeout, categoryID, block->CBlock::getHandle());
                    } catch (...) {
                        delete hyperlinks;
                        throw;
                    }
                    if (hyperlinks->getCount() > 0)
                        block->setHyperlinks(hyperlinks);
                    else
                        delete hyperlinks;
                    if (hatch) {
                        CHatch* copy = new CHatch();
                        block->setHatch(copy);
                        hatch->copyTo(copy);
                    }
                } catch (...) {
                    delete block;
                    throw;
                }
                addBlock(block);
                rows.next();
            }
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}

// ---------------------------------------------------------------------------------------------------------
// XML form

IXMLDOMNodePtr CBlocks::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"kelmoBlocks", namespaceURI);
        for (int i = 0; i < m_count; ++i) {
            CBlockDWG* block = asDrawingBlock(m_blocks[i]);
            if (block) element->appendChild(block->serialize(namespaceURI));
        }
        return element;
    KELMO_CATCH(L"CBlocks::serialize")
}

void CBlocks::deSerialize(IXMLDOMNodePtr node, CHatch* hatch) {
    KELMO_TRY
        if (node == nullptr) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            if (nodeName(child) != L"kelmoBlock") continue;
            CBlockDWG* block = new CBlockDWG();
            addBlock(block);
            block->deSerialize(child, hatch);
        }
    KELMO_CATCH(L"CBlocks::deSerialize")
}

// ---------------------------------------------------------------------------------------------------------
// Access and maintenance

int CBlocks::addBlock(CBlock* block) {
    KELMO_TRY
        if (!block) return m_count;
        try {
            m_blocks.Add(block);
        } catch (...) {
            deleteObject(block);
            throw;
        }
        return ++m_count;
    KELMO_CATCH(L"CBlocks::addBlock")
}

CBlock* CBlocks::getAt(int index) {
    KELMO_TRY
        return m_blocks.GetAt(index);
    KELMO_CATCH_ALSO(L"CBlocks::getAt", kelmo::catchClassLib)
}

CBlock* CBlocks::getAt(CString handle) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            if (m_blocks[i]->getHandle() == handle) return m_blocks[i];
        }
        return nullptr;
    KELMO_CATCH(L"CBlocks::getAt")
}

CBlock* CBlocks::getByCode(CString code) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            if (m_blocks[i]->getCode() == code) return m_blocks[i];
        }
        return nullptr;
    KELMO_CATCH(L"CBlocks::getByCode")
}

CBlockVXR* CBlocks::getAtVXRBlock(int id) {
    KELMO_TRY
        for (int i = 0; i < m_count; ++i) {
            int type = m_blocks[i]->getBlockType();
            if (type < CBlock::typeVXR || type > CBlock::typeVXRSite) continue;
            CBlockVXR* block = dynamic_cast<CBlockVXR*>(m_blocks[i]);
            if (block && block->getId() == id) return block;
        }
        return nullptr;
    KELMO_CATCH(L"CBlocks::getAtVXRBlock")
}

void CBlocks::replaceAt(int index, CBlock* block) {
    KELMO_TRY
        CBlock* old = m_blocks.GetAt(index);
        m_blocks.SetAt(index, block);
        deleteObject(old);
    KELMO_CATCH_ALSO(L"CBlocks::replaceAt", kelmo::catchClassLib)
}

void CBlocks::deleteObjects() {
    for (INT_PTR i = 0; i < m_blocks.GetSize(); ++i) deleteObject(m_blocks[i]);
    m_blocks.RemoveAll();
    m_count = 0;
}

void CBlocks::deleteObject(CBlock* block) {
    if (!block) return;
    // Only the known block classes are freed; the destructor chain is that of the object's own class.
    int type = block->getBlockType();
    if (type < CBlock::typeRecord || type > CBlock::typeDWGSite) return;
    delete block;
}

void CBlocks::sortBlocksByHandle(int ascending) {
    KELMO_TRY
        // Handles are unsigned 64-bit numbers; equal ones keep their order.
        std::vector<CBlock*> blocks;
        for (INT_PTR i = 0; i < m_blocks.GetSize(); ++i) blocks.push_back(m_blocks[i]);
        std::stable_sort(blocks.begin(), blocks.end(), [ascending](CBlock* a, CBlock* b) {
            std::uint64_t ka = handleKey(a->getHandle());
            std::uint64_t kb = handleKey(b->getHandle());
            return ascending ? ka < kb : ka > kb;
        });
        for (size_t i = 0; i < blocks.size(); ++i) m_blocks.SetAt(static_cast<INT_PTR>(i), blocks[i]);
    KELMO_CATCH(L"CBlocks::sortBlocksByHandle")
}
