#include "model/Asset.h"

#include <vector>

#include "cad/editor/EdSelection.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/Attributes.h"
#include "model/ColourHatches.h"
#include "model/Hatch.h"
#include "model/Hyperlinks.h"
#include "model/ModelSupport.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"Asset");

using kelmo_model::HeldLock;
using kelmo_model::nodeName;
using kelmo_model::nodeText;
using kelmo_model::OpenedObject;

namespace {

constexpr const wchar_t* kAssetsFile = L"Assets";

// The selection filter's pattern for the name of the layout a space's block record draws, every
// wildcard character taken literally; empty when the record draws no layout.
CString layoutPatternOf(AcDbObjectId space) {
    const CString name = CAcadUtilities::layoutNameOf(space);
    CString pattern;
    for (int i = 0; i < name.GetLength(); ++i) {
        if (wcschr(L"#@.*?~[]-,`", name[i])) pattern += L'`';
        pattern += name[i];
    }
    return pattern;
}

std::vector<AcDbObjectId> attributeIdsOf(const AcDbBlockReference* reference) {
    std::vector<AcDbObjectId> ids;
    AcDbObjectIterator* iterator = reference->attributeIterator();
    for (iterator->start(); !iterator->done(); iterator->step()) ids.push_back(iterator->objectId());
    delete iterator;
    return ids;
}

AcGeMatrix3d worldToUcs(AcDbDatabase* database) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    return ucs.inverse();
}

// Frees a selection set on every way out.
class SelectionSet {
public:
    SelectionSet() {
        m_name[0] = 0;
        m_name[1] = 0;
    }
    ~SelectionSet() {
        if (m_made) acedSSFree(m_name);
    }
    SelectionSet(const SelectionSet&) = delete;
    SelectionSet& operator=(const SelectionSet&) = delete;
    ads_name& name() { return m_name; }
    void made() { m_made = true; }

private:
    ads_name m_name;
    bool m_made = false;
};

} // namespace

// ---- CAsset

CAsset::CAsset() {
    initialise(0, 0, CString(), CString(), CString(), CString(), 0.0, 0.0, 0);
}

CAsset::CAsset(int drawingID, CString handle, CString blockIdentifier, CString blockDescription,
               CString uniqueDescription, double x, double y, int existsInLocation) {
    initialise(0, drawingID, handle, blockIdentifier, blockDescription, uniqueDescription, x, y, existsInLocation);
}

CAsset::CAsset(int locationID, int drawingID, CString handle, CString blockIdentifier, CString blockDescription,
               CString uniqueDescription, double x, double y, int existsInLocation) {
    initialise(locationID, drawingID, handle, blockIdentifier, blockDescription, uniqueDescription, x, y,
               existsInLocation);
}

CAsset::CAsset(int locationID, int drawingID, CString handle, CString blockIdentifier, CString blockDescription,
               CString uniqueDescription, double x, double y, CString status) {
    initialise(locationID, drawingID, handle, blockIdentifier, blockDescription, uniqueDescription, x, y,
               status == L"0" ? 0 : 1);
}

CAsset::~CAsset() {
    delete m_attributes;
    delete m_hyperlinks;
    delete m_hatch;
}

void CAsset::initialise(int locationID, int drawingID, CString handle, CString blockIdentifier,
                        CString blockDescription, CString uniqueDescription, double x, double y, int existsInLocation) {
    m_attributes = nullptr;
    m_hyperlinks = nullptr;
    m_hatch = nullptr;
    KELMO_TRY
        m_locationID = locationID;
        m_drawingID = drawingID;
        setHandle(handle);
        m_blockIdentifier = blockIdentifier;
        m_blockDescription = blockDescription;
        m_uniqueDescription = uniqueDescription;
        m_pointX = x;
        m_pointY = y;
        m_assetExistsInLocation = existsInLocation;
    KELMO_CATCH(L"CAsset::initialise")
}

void CAsset::setHandle(CString handle) {
    m_handle = AcDbHandle(static_cast<const wchar_t*>(handle));
}

CString CAsset::getHandleAsString() const {
    return CString(m_handle.text().c_str());
}

void CAsset::copyTo(CAsset* target) {
    KELMO_TRY
        if (!target) return;
        target->setLocationID(m_locationID);
        target->setHandle(getHandleAsString());
        target->setBlockIdentifier(m_blockIdentifier);
        target->setBlockDescription(m_blockDescription);
        target->setUniqueDescription(m_uniqueDescription);
        target->setPointX(m_pointX);
        target->setPointY(m_pointY);
        target->setAssetExistsInLocation(m_assetExistsInLocation);
        if (m_hatch) {
            CHatch* hatch = new CHatch();
            m_hatch->copyTo(hatch);
            target->setHatch(hatch);
        }
        if (m_hyperlinks) {
            CHyperlinks* hyperlinks = new CHyperlinks();
            target->setHyperlinks(hyperlinks);
            m_hyperlinks->copyTo(hyperlinks);
        }
        if (m_attributes) {
            CAttributes* attributes = new CAttributes();
            target->setAttributes(attributes);
            m_attributes->copyAttributesTo(attributes);
        }
    KELMO_CATCH(L"CAsset::copyTo")
}

void CAsset::hyperlinkEntity(AcDbEntity* entity) {
    KELMO_TRY
        if (!entity) return;
        CHyperlinks none;
        // The entity lists the asset's links last to first, as users of these drawings know them.
        (m_hyperlinks ? m_hyperlinks : &none)->applyToEntity(entity, TRUE);
    KELMO_CATCH_ALSO(L"CAsset::hyperlinkEntity", kelmo::catchClassLib)
}

void CAsset::hyperlinkAsset(AcDbEntity* insert) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(insert);
        if (!reference) return;
        hyperlinkEntity(reference);
        for (const AcDbObjectId& id : attributeIdsOf(reference)) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            hyperlinkEntity(attribute);
        }
    KELMO_CATCH_ALSO(L"CAsset::hyperlinkAsset", kelmo::catchClassLib)
}

void CAsset::hyperlinkHatch(const AcDbObjectId* hatchId) {
    KELMO_TRY
        if (!hatchId) return;
        AcDbObject* object = nullptr;
        if (acdbOpenObject(object, *hatchId, AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(object);
        hyperlinkEntity(AcDbEntity::cast(object));
    KELMO_CATCH_ALSO(L"CAsset::hyperlinkHatch", kelmo::catchClassLib)
}

void CAsset::editLineWeights(AcDbEntity*) {}

IXMLDOMNodePtr CAsset::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"asset", namespaceURI);
        element->appendChild(xml.createNode(L"locationID", CUtilities::IntToCString(m_locationID), namespaceURI));
        element->appendChild(xml.createNode(L"handle", getHandleAsString(), namespaceURI));
        element->appendChild(xml.createNode(L"blockIdentifier", m_blockIdentifier, namespaceURI));
        element->appendChild(xml.createNode(L"blockDescription", m_blockDescription, namespaceURI));
        element->appendChild(xml.createNode(L"uniqueDescription", m_uniqueDescription, namespaceURI));
        element->appendChild(xml.createNode(L"pointX", CUtilities::DoubleToCString(m_pointX, 5), namespaceURI));
        element->appendChild(xml.createNode(L"pointY", CUtilities::DoubleToCString(m_pointY, 5), namespaceURI));
        return element;
    KELMO_CATCH_ALSO(L"CAsset::serialize", kelmo::catchClassLib)
}

void CAsset::deSerialize(IXMLDOMNodePtr node, CHatch* hatch) {
    KELMO_TRY
        if (node == nullptr || nodeName(node) != L"asset" || !node->hasChildNodes()) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            CString name = nodeName(child);
            if (name == L"locationID")
                m_locationID = CUtilities::CStringToInt(nodeText(child));
            else if (name == L"handle")
                setHandle(kelmo_model::valueText(child));
            else if (name == L"blockIdentifier")
                m_blockIdentifier = nodeText(child);
            else if (name == L"blockDescription")
                m_blockDescription = nodeText(child);
            else if (name == L"uniqueDescription")
                m_uniqueDescription = nodeText(child);
            else if (name == L"pointX")
                m_pointX = CUtilities::CStringToDouble(nodeText(child));
            else if (name == L"pointY")
                m_pointY = CUtilities::CStringToDouble(nodeText(child));
        }
        if (hatch) {
            CHatch* copy = new CHatch();
            hatch->copyTo(copy);
            delete m_hatch;
            m_hatch = copy;
        }
    KELMO_CATCH_ALSO(L"CAsset::deSerialize", kelmo::catchClassLib)
}

// ---- CAssets

CAssets::CAssets() : m_count(0) {}

CAssets::~CAssets() {
    deleteObjects();
}

int CAssets::add(CAsset* asset) {
    try {
        if (!asset) return m_count;
        m_assets.Add(asset);
        return ++m_count;
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::add");
    }
}

CAsset* CAssets::getAt(int index) {
    try {
        return m_assets.GetAt(index);
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::getAt", kelmo::catchClassLib);
    }
}

CAsset* CAssets::getAtAsset(CString handle) {
    try {
        for (int i = 0; i < m_count; ++i) {
            if (m_assets[i]->getHandleAsString() == handle) return m_assets[i];
        }
        return nullptr;
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::getAtAsset");
    }
}

void CAssets::copyTo(CAssets* target) {
    try {
        if (!target) return;
        for (int i = 0; i < m_count; ++i) {
            CAsset* copy = new CAsset();
            target->add(copy);
            m_assets[i]->copyTo(copy);
        }
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::copyTo");
    }
}

void CAssets::deleteObjects() {
    for (INT_PTR i = 0; i < m_assets.GetSize(); ++i) delete m_assets[i];
    m_assets.RemoveAll();
    m_count = 0;
}

int CAssets::getPolylineAssetsSS(const AcGeMatrix3d& blockTransform, const AcDbPolyline* boundary, AcDbObjectId space,
                                 ads_name selection) {
    resbuf* points = nullptr;
    resbuf* filter = nullptr;
    try {
        if (!boundary || boundary->numVerts() == 0) return 0;
        // Each vertex where the insert shows it (rotation and scale included), then in the UCS the
        // polygon selection reads its points in (a 2D boundary's lightweight form lies in no database:
        // the working one's, which the selection reads).
        const AcGeMatrix3d toUcs = worldToUcs(boundary->database());
        resbuf* last = nullptr;
        AcGePoint3d previous;
        for (unsigned int i = 0; i < boundary->numVerts(); ++i) {
            AcGePoint3d vertex;
            boundary->getPointAt(i, vertex);
            vertex = toUcs * (blockTransform * vertex);
            bool repeated = i > 0 && vertex.isEqualTo(previous);
            previous = vertex;
            if (repeated) continue;
            resbuf* point = acutNewRb(RTPOINT);
            point->resval.rpoint[0] = vertex.x;
            point->resval.rpoint[1] = vertex.y;
            point->resval.rpoint[2] = vertex.z;
            if (last)
                last->rbnext = point;
            else
                points = point;
            last = point;
        }
        // The space's own layout, whichever is current: a room on a paper layout holds the desks drawn
        // there, not those of model space that lie at its sheet coordinates.
        const CString layout = layoutPatternOf(space);
        filter = layout.IsEmpty()
                     ? acutBuildList(RTDXF0, L"INSERT", 2, L"~ROOM-*", 0)
                     : acutBuildList(RTDXF0, L"INSERT", 2, L"~ROOM-*", 410, static_cast<const wchar_t*>(layout), 0);
        int result = acedSSGet(L"CP", points, nullptr, filter, selection);
        acutRelRb(points);
        acutRelRb(filter);
        return result;
    } catch (...) {
        if (points) acutRelRb(points);
        if (filter) acutRelRb(filter);
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::getPolylineAssetsSS", kelmo::catchClassLib);
    }
}

void CAssets::getPolylineAssets(const AcGeMatrix3d& blockTransform, const AcDbPolyline* boundary, AcDbObjectId space) {
    try {
        SelectionSet selection;
        const int found = getPolylineAssetsSS(blockTransform, boundary, space, selection.name());
        // A selection the drawing refuses (the host has said why) leaves the assets uncounted: nothing is
        // listed as though the space held none.
        if (found == RTREJ)
            throw new CEXCustom(L"The assets standing in the spaces cannot be selected, so they are not counted.",
                                KELMO_BANNER, kAssetsFile, L"CAssets::getPolylineAssets", 0, nullptr);
        if (found != RTNORM) return;
        selection.made();
        Adesk::Int32 length = 0;
        if (acedSSLength(selection.name(), &length) != RTNORM) return;
        const AcGeMatrix3d toUcs = worldToUcs(boundary->database());
        for (Adesk::Int32 i = 0; i < length; ++i) {
            ads_name name;
            AcDbObjectId id;
            if (acedSSName(selection.name(), i, name) != RTNORM || acdbGetObjectId(id, name) != Acad::eOk) continue;
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject openedEntity(entity);
            // Multiple inserts and other kinds are not assets.
            if (CString(entity->isA()->name()) != L"AcDbBlockReference") continue;
            AcDbBlockReference* insert = AcDbBlockReference::cast(entity);
            AcDbBlockTableRecord* definition = nullptr;
            if (acdbOpenObject(definition, insert->blockTableRecord(), AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject openedDefinition(definition);
            AcGePoint3d p = toUcs * insert->position();
            CString name2 = definition->getName();
            if (name2.Left(2) == L"*U") {
                // An anonymous block stands for a dynamic block, whose own name the asset carries.
                AcDbObjectId dynamicId = definition->dynamicBlockDefinitionId();
                AcDbBlockTableRecord* dynamic = nullptr;
                if (dynamicId.isNull() || acdbOpenObject(dynamic, dynamicId, AcDb::kForRead) != Acad::eOk) continue;
                name2 = dynamic->getName();
                dynamic->close();
            }
            CAsset* asset =
                new CAsset(0, CString(insert->handle().text().c_str()), name2, CString(), CString(), p.x, p.y, 1);
            add(asset);
            asset->setObjectId(id);
            CAttributes* attributes = new CAttributes();
            asset->setAttributes(attributes);
            attributes->extractAttributeValues(insert);
        }
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::getPolylineAssets", kelmo::catchClassLib);
    }
}

void CAssets::setPolylineAssetAttributesInvisible(const AcGeMatrix3d& blockTransform, const AcDbPolyline* boundary,
                                                  AcDbObjectId space, CAttributes* hidden) {
    try {
        SelectionSet selection;
        if (!hidden || getPolylineAssetsSS(blockTransform, boundary, space, selection.name()) != RTNORM) return;
        selection.made();
        Adesk::Int32 length = 0;
        if (acedSSLength(selection.name(), &length) != RTNORM) return;
        for (Adesk::Int32 i = 0; i < length; ++i) {
            ads_name name;
            AcDbObjectId id;
            if (acedSSName(selection.name(), i, name) != RTNORM || acdbGetObjectId(id, name) != Acad::eOk) continue;
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(entity);
            if (CString(entity->isA()->name()) != L"AcDbBlockReference") continue;
            hidden->setAttributesIDsInvisible(AcDbBlockReference::cast(entity));
        }
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::setPolylineAssetAttributesInvisible", kelmo::catchClassLib);
    }
}

IXMLDOMNodePtr CAssets::serialize(CString namespaceURI) {
    try {
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"assets", namespaceURI);
        for (int i = 0; i < m_count; ++i) element->appendChild(m_assets[i]->serialize(namespaceURI));
        return element;
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::serialize");
    }
}

void CAssets::deSerialize(IXMLDOMNodeListPtr nodes, CHatch* hatch) {
    try {
        if (nodes == nullptr) return;
        for (long i = 0; i < nodes->Getlength(); ++i) {
            IXMLDOMNodePtr node = nodes->Getitem(i);
            if (nodeName(node) != L"asset") continue;
            CAsset* asset = new CAsset();
            add(asset);
            asset->deSerialize(node, hatch);
        }
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::deSerialize");
    }
}

// ---- CAsset: the drawing side

void CAsset::applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings) {
    KELMO_TRY
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAsset::applyToDWG", 414, CString(),
                                   nullptr);
        HeldLock held(drawing);
        CKelmoExceptions ownWarnings;
        if (!warnings) warnings = &ownWarnings;
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, m_objectId, AcDb::kForRead) != Acad::eOk) return;
        AcDbBlockReference* insert = AcDbBlockReference::cast(entity);
        if (!insert) {
            entity->close();
            return;
        }
        // The insert's layer first: on a locked layer the insert could not be opened for write.
        CLayer layer;
        layer.setName(insert->layerName().c_str());
        layer.setOff(0);
        entity->close();
        layer.applyToDWG(drawing);
        if (acdbOpenAcDbEntity(entity, m_objectId, AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(entity);
        bool linked = m_hyperlinks && m_hyperlinks->getCount() > 0;
        if (m_hatch) {
            AcDbObjectId hatchId;
            hatchAsset(drawing, entity, &hatchId, warnings);
            if (linked) {
                hyperlinkAsset(entity);
                hyperlinkHatch(&hatchId);
            }
        } else if (linked) {
            hyperlinkAsset(entity);
        }
        if (m_attributes) m_attributes->applyToDWG(entity);
    KELMO_CATCH_ALSO(L"CAsset::applyToDWG", kelmo::catchClassLib)
}

void CAsset::hatchAsset(CAcadDrawing* drawing, AcDbEntity* insert, AcDbObjectId* hatchId, CKelmoExceptions* warnings) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(insert);
        if (!reference) return;
        // Nothing measured yet: a definition with no extents gets no hatch.
        AcDbExtents extents;
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
            OpenedObject openedDefinition(definition);
            for (const AcDbObjectId& id : definition->entityIds()) {
                AcDbEntity* member = nullptr;
                if (acdbOpenAcDbEntity(member, id, AcDb::kForRead) != Acad::eOk) continue;
                AcDbExtents memberExtents;
                if (member->getGeomExtents(memberExtents) == Acad::eOk && !memberExtents.isEmpty())
                    extents.addExt(memberExtents);
                member->close();
            }
        }
        if (extents.isEmpty()) return;
        AcGePoint3d minimum(extents.minPoint().x, extents.minPoint().y, 0.0);
        AcGePoint3d maximum(extents.maxPoint().x, extents.maxPoint().y, 0.0);
        hatchAssetArea(drawing, reference, minimum, maximum, hatchId, warnings);
    KELMO_CATCH_ALSO(L"CAsset::hatchAsset", kelmo::catchClassLib)
}

void CAsset::hatchAssetArea(CAcadDrawing* drawing, AcDbBlockReference* insert, AcGePoint3d minimum, AcGePoint3d maximum,
                            AcDbObjectId* hatchId, CKelmoExceptions* warnings) {
    if (!m_hatch || !warnings) return;
    AcDbHatch* hatch = nullptr;
    AcDbPolyline* outline = nullptr;
    try {
        hatch = new AcDbHatch();
        hatch->setPatternAngle(static_cast<double>(m_hatch->getAngle()));
        hatch->setPatternScale(static_cast<double>(m_hatch->getScale()));
        hatch->setAssociative(false);
        Acad::ErrorStatus status = hatch->setPattern(AcDbHatch::kPreDefined, m_hatch->getPattern());
        if (status != Acad::eOk) {
            delete hatch;
            hatch = nullptr;
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAsset::hatchAssetArea", 0,
                                           CString(), nullptr));
            return;
        }
        AcCmColor colour = m_hatch->getColour();
        colour.setColorMethod(AcCm::kByColor);
        hatch->setColor(colour, true);
        hatch->setHatchStyle(AcDbHatch::kNormal);
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, drawing->getDatabase());
        hatch->setNormal(ucs * AcGeVector3d::kZAxis);
        hatch->setElevation(0.0);
        // The layer is made and taken under one name: the one the drawing can hold.
        CString layerName = m_hatch->getLayer().IsEmpty() ? CString() : CLayer::validateLayerName(m_hatch->getLayer());
        CLayers layers;
        if (!layerName.IsEmpty() && layers.ensureLayerExists(drawing, layerName, colour)) hatch->setLayer(layerName);
        // As for a space: a hatch on a locked layer could be neither marked nor sent under the plan.
        const CString earlier = kelmo_model::lockedColourHatchLayer(drawing, insert->objectId());
        const CString locked = earlier.IsEmpty() ? kelmo_model::lockedHatchLayer(
                                                       drawing, hatch->layerName().empty() ? CString() : layerName)
                                                 : earlier;
        if (!locked.IsEmpty()) {
            acutPrintf(earlier.IsEmpty() ? L"\nAsset %s not coloured: its hatch layer %s is locked\n"
                                         : L"\nAsset %s not coloured: its colour hatch lies on the locked layer %s\n",
                       static_cast<const wchar_t*>(getHandleAsString()), static_cast<const wchar_t*>(locked));
            delete hatch;
            return;
        }

        outline = new AcDbPolyline(4);
        outline->addVertexAt(0, AcGePoint2d(minimum.x, minimum.y), 0, -1.0, -1.0);
        outline->addVertexAt(1, AcGePoint2d(minimum.x, maximum.y), 0, -1.0, -1.0);
        outline->addVertexAt(2, AcGePoint2d(maximum.x, maximum.y), 0, -1.0, -1.0);
        outline->addVertexAt(3, AcGePoint2d(maximum.x, minimum.y), 0, -1.0, -1.0);
        outline->setVisibility(AcDb::kInvisible, true);
        outline->setClosed(true);
        outline->setColor(colour, true);
        if (!layerName.IsEmpty() && !drawing->getDatabase()->layerId(static_cast<const wchar_t*>(layerName)).isNull())
            outline->setLayer(layerName);
        AcDbObjectId outlineId;
        AcDbPolyline* handed = outline;
        outline = nullptr;
        if (drawing->postToDrawing(outlineId, handed, insert->ownerId()) == Acad::eOk) {
            AcDbEntity* placed = nullptr;
            if (acdbOpenAcDbEntity(placed, outlineId, AcDb::kForWrite) == Acad::eOk) {
                placed->transformBy(insert->blockTransform());
                placed->close();
            }
        }
        AcDbObjectIdArray loop;
        loop.append(outlineId);
        hatch->appendLoop(AcDbHatch::kOutermost, loop);

        const CString label = L"asset - " + getHandleAsString();
        status = hatch->evaluateHatch(true);
        if (status == Acad::eHatchTooDense) {
            warnings->add(new CEXHatchTooDense(label, m_hatch->getPattern(), m_hatch->getScale(), KELMO_BANNER,
                                               kelmoSourceFile, L"CAsset::hatchAssetArea"));
        } else if (status == Acad::eAmbiguousOutput) {
            warnings->add(new CEXHatchNotDenseEnough(label, m_hatch->getPattern(), m_hatch->getScale(), KELMO_BANNER,
                                                     kelmoSourceFile, L"CAsset::hatchAssetArea"));
        } else if (status != Acad::eOk) {
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAsset::hatchAssetArea", 1176,
                                           CString(), nullptr));
        }
        status = kelmo_model::postColourHatch(drawing, hatch, hatchId, insert->objectId(), insert->ownerId(), true,
                                              outlineId);
        if (status != Acad::eOk)
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAsset::hatchAssetArea", 1188,
                                           CString(), nullptr));
    } catch (...) {
        delete outline;
        delete hatch;
        warnings->add(kelmo::wrapCurrent(kelmoSourceFile, L"CAsset::hatchAssetArea", kelmo::catchClassLib));
    }
}

void CAssets::applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings) {
    try {
        for (int i = 0; i < m_count; ++i) m_assets[i]->applyToDWG(drawing, warnings);
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::applyToDWG", kelmo::catchClassLib);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Register

void CAsset::applyToVXR(CStoredProcedure* procedure, int drawingID, int locationID, int timeout) {
    const wchar_t* method = L"CAsset::applyToVXR";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        call.addInt(L"@locationID", 1, locationID);
        call.addInt(L"@drawingID", 1, drawingID);
        call.addVarChar(L"@handle", 255, getHandleAsString());
        call.addVarChar(L"@acadBlockIdentifier", 100, m_blockIdentifier);
        call.addVarChar(L"@acadBlockDescription", 255, m_blockDescription);
        call.addVarChar(L"@uniqueDescription", 255, m_uniqueDescription);
        call.addDecimal(L"@pointX", m_pointX);
        call.addDecimal(L"@pointY", m_pointY);
        call.addBoolean(L"@assetExistsInLocation", 1, m_assetExistsInLocation);
        call.addOutputBoolean(L"@excludedFromTakeoff");
        call.prepare(L"__to_applyAssetToVXR", timeout);
        // Without a connection this raises, so the answer read below is always the register's.
        procedure->execSPNoReturnParasReturn();
        bool excluded = call.outputInt(L"@excludedFromTakeoff") != 0;
        if (!excluded && m_assetExistsInLocation != 0 && m_attributes)
            m_attributes->applyToVXR(procedure, drawingID, getHandleAsString(), timeout);
    KELMO_REGISTER_CATCH(procedure, method)
}

void CAsset::exportTP(CStoredProcedure* procedure, int timeout, CString exportParameters) {
    const wchar_t* method = L"CAsset::exportTP";
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        call.addInt(L"@locationID", 1, m_locationID);
        call.addVarChar(L"@handle", 255, getHandleAsString());
        call.addVarChar(L"@acadBlockIdentifier", 100, m_blockIdentifier);
        call.addVarChar(L"@acadBlockDescription", 255, m_blockDescription);
        call.addVarChar(L"@uniqueDescription", 255, m_uniqueDescription);
        call.addDecimal(L"@pointX", m_pointX);
        call.addDecimal(L"@pointY", m_pointY);
        call.addBoolean(L"@assetExistsInLocation", 1, m_assetExistsInLocation);
        call.addVarChar(L"@exportParameters", 255, exportParameters);
        call.prepare(L"__to_tp_exportAsset", timeout);
        procedure->execSPNoReturnParas();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CAssets::applyToVXR(CStoredProcedure* procedure, int drawingID, int locationID, int timeout) {
    try {
        for (int i = 0; i < m_count; ++i) m_assets[i]->applyToVXR(procedure, drawingID, locationID, timeout);
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::applyToVXR");
    }
}

void CAssets::exportTP(CStoredProcedure* procedure, int timeout, CString exportParameters) {
    try {
        for (int i = 0; i < m_count; ++i) m_assets[i]->exportTP(procedure, timeout, exportParameters);
    } catch (...) {
        kelmo::rethrowWrapped(kAssetsFile, L"CAssets::exportTP");
    }
}

void CAssets::getLocationAssets(CStoredProcedure* procedure, int locationID, int timeout) {
    const wchar_t* method = L"CAssets::getLocationAssets";
    kelmo_model::RegisterCall call(procedure);
    try {
        call.addInt(L"@locationID", 1, locationID);
        call.prepare(L"[idr]..[getLocationAssets]", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (!rows.empty()) {
            while (!rows.atEnd()) {
                int drawingID = 0;
                rows.readInt(L"drawingID", drawingID);
                const CString handle = rows.text(L"handle");
                double x = 0.0;
                double y = 0.0;
                rows.readDouble(L"aX", x);
                rows.readDouble(L"aY", y);
                CAsset* asset =
                    new CAsset(locationID, drawingID, handle, rows.text(L"acadBlockIdentifier"),
                               rows.text(L"atDescription"), rows.text(L"aDescription"), x, y, rows.text(L"status"));
                try {
                    CAttributes* attributes = new CAttributes();
                    asset->setAttributes(attributes);
                    // Nested on the same procedure while this row set is read; no time limit.
                    attributes->getAssetAttributes(procedure, drawingID, handle, 0);
                } catch (...) {
                    delete asset;
                    throw;
                }
                add(asset);
                rows.next();
            }
        }
        rows.close();
KELMO_REGISTER_CATCH_IN
(kAssetsFile, procedure, method)
}

void CAssets::getCategoryAssets(CStoredProcedure* procedure, int timeout, int categoryID, CHatch* hatch) {
    const wchar_t* method = L"CAssets::getCategoryAssets";
    kelmo_model::RegisterCall call(procedure);
    try {
        call.addInt(L"@categoryID", 1, categoryID);
        call.prepare(L"__gr_getCategoryAssets", timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (!rows.empty()) {
            while (!rows.atEnd()) {
                CAsset* asset = new CAsset();
                try {
                    if (!rows.isNull(L"maHandle")) asset->setHandle(rows.text(L"maHandle"));
                    if (!rows.isNull(L"maDescription")) asset->setBlockDescription(rows.text(L"maDescription"));
                    if (!rows.isNull(L"maUniqueDescription"))
                        asset->setUniqueDescription(rows.text(L"maUniqueDescription"));
                    CHyperlinks* hyperlinks = new CHyperlinks();
                    asset->setHyperlinks(hyperlinks);
                    hyperlinks->getAssetHyperlinks(procedure, timeout, categoryID, asset->getHandleAsString());
                    // Each asset owns its own copy of the category's hatch.
                    if (hatch) {
                        CHatch* copy = new CHatch();
                        asset->setHatch(copy);
                        hatch->copyTo(copy);
                    }
                } catch (...) {
                    delete asset;
                    throw;
                }
                add(asset);
                rows.next();
            }
        }
        rows.close();
KELMO_REGISTER_CATCH_IN
(kAssetsFile, procedure, method)
}
