#include "model/BlockDWG.h"

#include <cmath>
#include <cwchar>
#include <optional>
#include <vector>

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "core/KelmoExceptions.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/Blocks.h"
#include "model/ColourHatches.h"
#include "model/Hatch.h"
#include "model/Hyperlinks.h"
#include "model/KelmoAttribute.h"
#include "model/ModelSupport.h"
#include "model/RegisterSupport.h"

#include "drawing/Layer.h"
#include "drawing/Layers.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::drawingName;
using kelmo_model::HeldLock;
using kelmo_model::nodeName;
using kelmo_model::nodeText;
using kelmo_model::OpenedObject;

namespace {

constexpr const wchar_t* kNotSet = L"<Not Set>";
constexpr const wchar_t* kNoXData = L"No X Data";
constexpr const wchar_t* kGrossAreaName = L"GROSS AREA";

// The drawing the object belongs to for registering an application: the host registers in its
// working database, so that is pointed at the object's drawing for the call.
bool registerApplication(AcDbDatabase* database, const wchar_t* name) {
    AcDbDatabase* working = acdbWorkingDatabase();
    if (database) acdbSetWorkingDatabase(database);
    int result = acdbRegApp(name);
    acdbSetWorkingDatabase(working);
    return result == RTNORM;
}

AcGeMatrix3d ucsMatrixOf(AcDbDatabase* database) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    return ucs;
}

// Both read every item of every space's record: no copies.
bool startsWith(const wchar_t* text, const wchar_t* key) {
    return std::wcsncmp(text, key, std::wcslen(key)) == 0;
}

bool endsWith(const CString& text, const wchar_t* suffix) {
    const int length = static_cast<int>(std::wcslen(suffix));
    return text.GetLength() >= length &&
           std::wcscmp(static_cast<const wchar_t*>(text) + text.GetLength() - length, suffix) == 0;
}

CString handleText(const AcDbHandle& handle) {
    return CString(handle.text().c_str());
}

// The keys of a space record, in the order they are written.
constexpr int kRecordKeys = 16;
constexpr const wchar_t* kRecordKey[kRecordKeys] = {
    L"AREA=",       L"PERIMETER=",   L"NAME=",           L"TAGTYPE=",      L"AREA_TYPE=",   L"COST_CENTRE=",
    L"DATE=",       L"DATE_L_MOVE=", L"DEPT_CHARGE=",    L"ROOM_HEIGHT=",  L"SPECIAL_REQ=", L"TOT_STAFF=",
    L"TOT_WKSTNS=", L"VOLUME=",      L"HANDLESTOMINUS=", L"HANDLESTOADD=",
};
enum RecordKey { keyArea = 0, keyPerimeter = 1, keyRoomHeight = 9, keyVolume = 13, keyMinus = 14, keyAdd = 15 };

// An extended-data string holds at most this many bytes.
constexpr size_t kRecordStringBytes = 255;

int recordKey(const wchar_t* text) {
    for (int key = 0; key < kRecordKeys; ++key)
        if (std::wcsncmp(text, kRecordKey[key], std::wcslen(kRecordKey[key])) == 0) return key;
    return -1;
}

// A stored number keeps its text when it carries the unit the write gives, or no unit at all.
bool unitStands(const CString& stored, const CString& fresh, const wchar_t* metric, const wchar_t* imperial) {
    const wchar_t* unit = endsWith(fresh, imperial) ? imperial : metric;
    return endsWith(stored, unit) || (!endsWith(stored, metric) && !endsWith(stored, imperial));
}

// The text after the key in the record the object holds under the application; false when the
// record holds no such key.
bool storedText(AcDbObject* object, const CString& application, const wchar_t* key, CString& text) {
    resbuf* data = object->xData(application);
    bool found = false;
    const size_t length = std::wcslen(key);
    for (resbuf* item = data; item && !found; item = item->rbnext) {
        if (item->restype != 1000 || !item->resval.rstring) continue;
        if (std::wcsncmp(item->resval.rstring, key, length) != 0) continue;
        text = item->resval.rstring + length;
        found = true;
    }
    if (data) acutRelRb(data);
    return found;
}

} // namespace

CBlockDWG::CBlockDWG()
    : m_hatch(nullptr),
      m_attributes(nullptr),
      m_assets(nullptr),
      m_zoomOnApply(0),
      m_zoomMargin(0.0),
      m_colorIndex(256),
      m_lineWeight(AcDb::kLnWtByLayer) {
    initialise();
}

CBlockDWG::CBlockDWG(AcDbBlockReference* reference, AcApDocument* document)
    : m_hatch(nullptr),
      m_attributes(nullptr),
      m_assets(nullptr),
      m_zoomOnApply(0),
      m_zoomMargin(0.0),
      m_colorIndex(256),
      m_lineWeight(AcDb::kLnWtByLayer) {
    try {
        initialise();
        setHyperlinks(new CHyperlinks(reference));
        readReference(reference);
        // The record travels under "ADE"; older drawings carry it under "AECXDATA".
        m_xDataAppName = L"ADE";
        resbuf* data = reference->xData(m_xDataAppName);
        if (!data) {
            m_xDataAppName = L"AECXDATA";
            data = reference->xData(m_xDataAppName);
        }
        if (data) {
            try {
                readXData(data, document);
            } catch (...) {
                acutRelRb(data);
                throw;
            }
            acutRelRb(data);
        } else {
            m_xDataAppName = kNoXData;
        }
        m_attributes = new CAttributes();
        m_attributes->extractSpaceBlockAttributeValues(
            reference, ucsMatrixOf(document ? document->database() : reference->database()));
        CAttribute* nameAttribute = m_attributes->getAtAttribute(0);
        if (nameAttribute) {
            setCode(nameAttribute->getValue());
            setName(getCode());
        }
        if (getName().IsEmpty()) {
            setName(m_blockIdentifier);
            m_nameFromDefinition = !nameAttribute;
        }
    } catch (...) {
        // The destructor does not run for a half-built object: free what it owns here.
        delete m_hatch;
        delete m_attributes;
        delete m_assets;
        m_hatch = nullptr;
        m_attributes = nullptr;
        m_assets = nullptr;
        kelmo::rethrowWrapped(kelmoSourceFile, L"CBlockDWG::CBlockDWG", kelmo::catchClassLib);
    }
}

CBlockDWG::~CBlockDWG() {
    delete m_hatch;
    delete m_attributes;
    delete m_assets;
}

void CBlockDWG::initialise() {
    KELMO_TRY
        m_objectId.setNull();
        m_dwgHandle.setNull();
        m_blockIdentifier.Empty();
        m_xDataAppName = L"ADE";
        m_handlesToMinus.RemoveAll();
        m_handlesToAdd.RemoveAll();
        m_zoomOnApply = 0;
        m_zoomMargin = 0.0;
        m_layer.Empty();
        setName(L"");
        setArea(0.0);
        setPerimeter(0.0);
        setRoomHeight(0.0);
        setVolume(0.0);
        setAreaType(kNotSet);
        setCostCentre(kNotSet);
        setDate(kNotSet);
        setDateLastMove(kNotSet);
        setDeptCharge(kNotSet);
        setSpecialReq(kNotSet);
        setTagType(kNotSet);
        setTotStaff(kNotSet);
        setTotWkStns(kNotSet);
        setUnits(-1);
        setPrecision(-1);
        setType(typeDWG);
    KELMO_CATCH(L"CBlockDWG::initialise")
}

void CBlockDWG::readReference(AcDbBlockReference* reference) {
    m_objectId = reference->objectId();
    m_layer = reference->layerName().c_str();
    m_colorIndex = reference->colorIndex();
    m_lineWeight = reference->lineWeight();
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
        m_blockIdentifier = definition->getName();
        definition->close();
    }
    setHandle(handleText(reference->handle()));
}

void CBlockDWG::setHandle(AcDbHandle handle) {
    KELMO_TRY
        m_dwgHandle = handle;
        CBlock::setHandle(handleText(handle));
    KELMO_CATCH(L"CBlockDWG::setHandle")
}

void CBlockDWG::setHandle(CString handle) {
    KELMO_TRY
        CBlock::setHandle(handle);
        m_dwgHandle = AcDbHandle(static_cast<const wchar_t*>(handle));
    KELMO_CATCH(L"CBlockDWG::setHandle")
}

int CBlockDWG::getKnownUnits() const {
    if (getUnits() != -1) return getUnits();
    CPreferences preferences;
    preferences.loadPreferences(g_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg"); // a missing file leaves metric
    return preferences.getUnits();
}

void CBlockDWG::takePreferenceUnitsWhenUnknown() {
    KELMO_TRY
        if (getUnits() == -1) setUnits(getKnownUnits());
    KELMO_CATCH(L"CBlockDWG::takePreferenceUnitsWhenUnknown")
}

CString CBlockDWG::getAreaUnitText() const {
    return getKnownUnits() == 1 ? L"sq.ft." : L"sq.m.";
}

CString CBlockDWG::getLengthUnitText() const {
    return getKnownUnits() == 1 ? L"ft." : L"m.";
}

// ---------------------------------------------------------------------------------------------------------
// Extended entity data

void CBlockDWG::readXData(resbuf* list, AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        for (resbuf* item = list; item; item = item->rbnext) {
            if (item->restype != 1000 || !item->resval.rstring) continue;
            const wchar_t* text = item->resval.rstring;
            if (startsWith(text, L"AREA=")) {
                // The key always goes; a unit only when it is there, so a bare number is kept.
                CString value(text + 5);
                if (endsWith(value, L"sq.m.")) {
                    value = value.Left(value.GetLength() - 5);
                    setUnits(0);
                } else if (endsWith(value, L"sq.ft.")) {
                    value = value.Left(value.GetLength() - 6);
                    setUnits(1);
                }
                value.TrimRight();
                // Without a point every character counts: "1234" gives 4.
                int point = value.Find(L'.');
                setPrecision(point < 0 ? value.GetLength() : value.GetLength() - point - 1);
                setArea(CUtilities::CStringToDouble(value));
            } else if (startsWith(text, L"PERIMETER=")) {
                CString value(text + 10);
                if (endsWith(value, L"ft."))
                    value = value.Left(value.GetLength() - 3);
                else if (endsWith(value, L"m."))
                    value = value.Left(value.GetLength() - 2);
                setPerimeter(CUtilities::CStringToDouble(value));
            } else if (startsWith(text, L"TAGTYPE=")) {
                setTagType(CString(text + 8));
            } else if (startsWith(text, L"AREA_TYPE=")) {
                setAreaType(CString(text + 10));
            } else if (startsWith(text, L"COST_CENTRE=")) {
                setCostCentre(CString(text + 12));
            } else if (startsWith(text, L"DATE_L_MOVE=")) {
                setDateLastMove(CString(text + 12));
            } else if (startsWith(text, L"DATE=")) {
                setDate(CString(text + 5));
            } else if (startsWith(text, L"DEPT_CHARGE=")) {
                setDeptCharge(CString(text + 12));
            } else if (startsWith(text, L"ROOM_HEIGHT=")) {
                setRoomHeight(CUtilities::CStringToDouble(CString(text + 12)));
            } else if (startsWith(text, L"SPECIAL_REQ=")) {
                setSpecialReq(CString(text + 12));
            } else if (startsWith(text, L"TOT_STAFF=")) {
                setTotStaff(CString(text + 10));
            } else if (startsWith(text, L"TOT_WKSTNS=")) {
                setTotWkStns(CString(text + 11));
            } else if (startsWith(text, L"VOLUME=")) {
                setVolume(CUtilities::CStringToDouble(CString(text + 7)));
            } else if (startsWith(text, L"HANDLESTOMINUS=")) {
                CString value(text + 15);
                if (!value.IsEmpty()) fillHandles(m_handlesToMinus, value, database);
            } else if (startsWith(text, L"HANDLESTOADD=")) {
                CString value(text + 13);
                if (!value.IsEmpty()) fillHandles(m_handlesToAdd, value, database);
            }
        }
    KELMO_CATCH(L"CBlockDWG::readXData")
}

void CBlockDWG::writeXData(AcDbObject* object) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(object);
        if (!reference) return;
        if (m_xDataAppName == kNoXData) m_xDataAppName = L"ADE";
        registerApplication(object->database(), m_xDataAppName);
        takePreferenceUnitsWhenUnknown();
        bool imperial = getUnits() == 1;
        CString areaUnit = imperial ? L"sq.ft." : L"sq.m.";
        CString lengthUnit = imperial ? L"ft." : L"m.";
        CString volumeUnit = imperial ? L"cu.ft." : L"cu.m.";
        CString nameText = getName();
        CAttribute* nameAttribute = m_attributes ? m_attributes->getAtAttribute(0) : nullptr;
        if (nameAttribute) {
            nameText = nameAttribute->getValue();
        } else if (m_nameFromDefinition && getName() == m_blockIdentifier) {
            // Without a label the definition's name stood in; the stored name is the space's own.
            CString stored;
            if (storedText(reference, m_xDataAppName, L"NAME=", stored)) nameText = stored;
        }
        // A gross area known by its stored name keeps that mark whatever its label says.
        if (CBlocks().readNameFromXData(reference) == kGrossAreaName) nameText = kGrossAreaName;
        int precision = getPrecision();
        CString texts[] = {
            L"AREA=" + CUtilities::DoubleToCString(getArea(), precision) + areaUnit,
            L"PERIMETER=" + CUtilities::DoubleToCString(getPerimeter(), precision) + lengthUnit,
            L"NAME=" + nameText,
            L"TAGTYPE=" + getTagType(),
            L"AREA_TYPE=" + getAreaType(),
            L"COST_CENTRE=" + getCostCentre(),
            L"DATE=" + getDate(),
            L"DATE_L_MOVE=" + getDateLastMove(),
            L"DEPT_CHARGE=" + getDeptCharge(),
            L"ROOM_HEIGHT=" + CUtilities::DoubleToCString(getRoomHeight(), precision) + lengthUnit,
            L"SPECIAL_REQ=" + getSpecialReq(),
            L"TOT_STAFF=" + getTotStaff(),
            L"TOT_WKSTNS=" + getTotWkStns(),
            L"VOLUME=" + CUtilities::DoubleToCString(getVolume(), precision) + volumeUnit,
            L"HANDLESTOMINUS=" + getHandlesToMinusAsString(),
            L"HANDLESTOADD=" + getHandlesToAddAsString(),
        };
        resbuf* head = m_keepsStoredRecord ? keptRecord(reference, texts) : nullptr;
        if (!head) {
            head = acutBuildList(1001, static_cast<const wchar_t*>(m_xDataAppName), 1002, L"{", 0);
            resbuf* last = head->rbnext;
            for (const CString& text : texts) {
                resbuf* item = acutNewRb(1000);
                acutNewString(text, item->resval.rstring);
                last->rbnext = item;
                last = item;
            }
            resbuf* close = acutNewRb(1002);
            acutNewString(L"}", close->resval.rstring);
            last->rbnext = close;
        }
        Acad::ErrorStatus status = object->setXData(head);
        acutRelRb(head);
        // A record the drawing did not take must not pass for written.
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::writeXData", 0, CString(),
                                   nullptr);
    KELMO_CATCH(L"CBlockDWG::writeXData")
}

resbuf* CBlockDWG::keptRecord(AcDbBlockReference* reference, const CString* texts) {
    resbuf* stored = reference->xData(m_xDataAppName);
    if (!stored) return nullptr;
    try {
        bool written[kRecordKeys] = {};
        resbuf* beforeClosing = nullptr;
        for (resbuf* before = stored; before->rbnext; before = before->rbnext) {
            resbuf* item = before->rbnext;
            if (item->restype == 1002 && item->resval.rstring && std::wcscmp(item->resval.rstring, L"}") == 0)
                beforeClosing = before;
            if (item->restype != 1000 || !item->resval.rstring) continue;
            const int key = recordKey(item->resval.rstring);
            // A key met again is left as it stands, as is one whose value the block holds as read.
            if (key < 0 || written[key]) continue;
            written[key] = true;
            if (storedValueStands(key, item->resval.rstring, texts[key], reference->database())) continue;
            resbuf* fresh = acutNewRb(1000);
            acutNewString(texts[key], fresh->resval.rstring);
            fresh->rbnext = item->rbnext;
            before->rbnext = fresh;
            item->rbnext = nullptr;
            acutRelRb(item);
        }
        // Keys the record lacks go in before its closing bracket.
        resbuf* at = beforeClosing;
        if (!at)
            for (at = stored; at->rbnext; at = at->rbnext) {}
        for (int key = 0; key < kRecordKeys; ++key) {
            if (written[key]) continue;
            resbuf* fresh = acutNewRb(1000);
            acutNewString(texts[key], fresh->resval.rstring);
            fresh->rbnext = at->rbnext;
            at->rbnext = fresh;
            at = fresh;
        }
    } catch (...) {
        acutRelRb(stored);
        throw;
    }
    return stored;
}

bool CBlockDWG::storedValueStands(int key, const wchar_t* stored, const CString& fresh, AcDbDatabase* database) {
    if (fresh == stored) return true;
    if (key == keyMinus || key == keyAdd) {
        HandleArray read;
        fillHandles(read, CString(stored + std::wcslen(kRecordKey[key])), database);
        const HandleArray& held = key == keyMinus ? m_handlesToMinus : m_handlesToAdd;
        if (read.GetSize() != held.GetSize()) return false;
        for (INT_PTR i = 0; i < read.GetSize(); ++i)
            if (read[i] != held[i]) return false;
        return true;
    }
    if (key != keyArea && key != keyPerimeter && key != keyRoomHeight && key != keyVolume) return false;
    // The number read back from the stored text as the block was read.
    resbuf one{};
    one.restype = 1000;
    one.resval.rstring = const_cast<wchar_t*>(stored);
    CBlockDWG read;
    read.readXData(&one, nullptr);
    switch (key) {
        case keyArea:
            return read.getArea() == getArea() && read.getPrecision() == getPrecision() &&
                   (read.getUnits() == -1 || read.getUnits() == getUnits());
        case keyPerimeter:
            return read.getPerimeter() == getPerimeter() && unitStands(stored, fresh, L"m.", L"ft.");
        case keyRoomHeight:
            return read.getRoomHeight() == getRoomHeight() && unitStands(stored, fresh, L"m.", L"ft.");
        default:
            return read.getVolume() == getVolume() && unitStands(stored, fresh, L"cu.m.", L"cu.ft.");
    }
}

bool CBlockDWG::recordCanHoldArea(double area) const {
    if (!std::isfinite(area) || area < 0.0) return false;
    const CString text = L"AREA=" + CUtilities::DoubleToCString(area, getPrecision()) + getAreaUnitText();
    return static_cast<size_t>(text.GetLength()) <= kRecordStringBytes;
}

// ---------------------------------------------------------------------------------------------------------
// Areas to subtract and to add

CString CBlockDWG::handlesToString(const HandleArray& handles) {
    CString text;
    for (INT_PTR i = 0; i < handles.GetSize(); ++i) text += handleText(handles[i]) + L",";
    return text;
}

void CBlockDWG::fillHandles(HandleArray& handles, CString text, AcDbDatabase* database) {
    handles.RemoveAll();
    int start = 0;
    for (;;) {
        // Text after the last comma is no handle.
        int comma = text.Find(L',', start);
        if (comma < 0) break;
        AcDbHandle handle(static_cast<const wchar_t*>(text.Mid(start, comma - start)));
        AcDbObjectId id;
        if (database && !handle.isNull() && database->getAcDbObjectId(id, false, handle) == Acad::eOk)
            handles.Add(handle);
        start = comma + 1;
    }
}

void CBlockDWG::setHandlesToMinus(CString handles, AcDbDatabase* database) {
    KELMO_TRY
        fillHandles(m_handlesToMinus, handles, database);
    KELMO_CATCH(L"CBlockDWG::setHandlesToMinus")
}

void CBlockDWG::setHandlesToAdd(CString handles, AcDbDatabase* database) {
    KELMO_TRY
        fillHandles(m_handlesToAdd, handles, database);
    KELMO_CATCH(L"CBlockDWG::setHandlesToAdd")
}

void CBlockDWG::setHandlesToMinus(const AcDbObjectIdArray& ids) {
    KELMO_TRY
        m_handlesToMinus.RemoveAll();
        for (const AcDbObjectId& id : ids) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            m_handlesToMinus.Add(entity->handle());
            entity->close();
        }
    KELMO_CATCH(L"CBlockDWG::setHandlesToMinus")
}

void CBlockDWG::setHandlesToAdd(const AcDbObjectIdArray& ids) {
    KELMO_TRY
        m_handlesToAdd.RemoveAll();
        for (const AcDbObjectId& id : ids) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            if (CString(entity->isA()->name()) == L"AcDbPolyline") m_handlesToAdd.Add(entity->handle());
            entity->close();
        }
    KELMO_CATCH(L"CBlockDWG::setHandlesToAdd")
}

CString CBlockDWG::getHandlesToMinusAsString() const {
    return handlesToString(m_handlesToMinus);
}

CString CBlockDWG::getHandlesToAddAsString() const {
    return handlesToString(m_handlesToAdd);
}

void CBlockDWG::addHandleToMinus(AcDbHandle handle, AcDbDatabase* database) {
    KELMO_TRY
        AcDbObjectId id;
        if (database && database->getAcDbObjectId(id, false, handle) != Acad::eOk) return;
        m_handlesToMinus.Add(handle);
    KELMO_CATCH(L"CBlockDWG::addHandleToMinus")
}

void CBlockDWG::addHandleToAdd(AcDbHandle handle, AcDbDatabase* database) {
    KELMO_TRY
        AcDbObjectId id;
        if (database && database->getAcDbObjectId(id, false, handle) != Acad::eOk) return;
        m_handlesToAdd.Add(handle);
    KELMO_CATCH(L"CBlockDWG::addHandleToAdd")
}

AcDbHandle CBlockDWG::getHandleToMinusAt(int index) const {
    return m_handlesToMinus.GetAt(index);
}

AcDbHandle CBlockDWG::getHandleToAddAt(int index) const {
    return m_handlesToAdd.GetAt(index);
}

void CBlockDWG::removeHandleToMinusAt(int index) {
    KELMO_TRY
        m_handlesToMinus.RemoveAt(index);
    KELMO_CATCH_ALSO(L"CBlockDWG::removeHandleToMinusAt", kelmo::catchClassLib)
}

void CBlockDWG::removeHandleToAddAt(int index) {
    KELMO_TRY
        m_handlesToAdd.RemoveAt(index);
    KELMO_CATCH_ALSO(L"CBlockDWG::removeHandleToAddAt", kelmo::catchClassLib)
}

int CBlockDWG::convertHandlesToObjectIds(const HandleArray& handles, AcDbDatabase* database, AcDbObjectIdArray* ids) {
    KELMO_TRY
        if (!ids) return 0;
        for (INT_PTR i = 0; i < handles.GetSize(); ++i) {
            AcDbObjectId id;
            if (!database || database->getAcDbObjectId(id, false, handles[i]) != Acad::eOk) id.setNull();
            ids->append(id);
        }
        return 0;
    KELMO_CATCH(L"CBlockDWG::convertHandlesToObjectIds")
}

double CBlockDWG::sumListed(HandleArray& handles, AcApDocument* document, bool perimeters) {
    takePreferenceUnitsWhenUnknown();
    AcDbDatabase* database = document ? document->database() : nullptr;
    if (!database) return 0.0;
    CAcadUtilities utilities;
    double sum = 0.0;
    INT_PTR i = 0;
    while (i < handles.GetSize()) {
        AcDbObjectId id;
        if (database->getAcDbObjectId(id, false, handles[i]) != Acad::eOk) {
            ++i;
            continue;
        }
        AcDbEntity* entity = nullptr;
        Acad::ErrorStatus status = acdbOpenAcDbEntity(entity, id, AcDb::kForRead);
        if (status == Acad::eUnknownHandle) {
            // The entity is gone: it no longer counts, and the next one moves into this place.
            handles.RemoveAt(i);
            continue;
        }
        if (status != Acad::eOk) {
            ++i;
            continue;
        }
        OpenedObject opened(entity);
        if (CString(entity->isA()->name()) == L"AcDbPolyline") {
            const AcDbPolyline* polyline = AcDbPolyline::cast(entity);
            sum += perimeters ? utilities.calculatePolylinePerimeter(polyline, database->lunits(), getUnits())
                              : utilities.calculatePolylineArea(polyline, database->lunits(), getUnits());
        }
        ++i;
    }
    return sum;
}

double CBlockDWG::calcSubArea(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToMinus, document, false);
    KELMO_CATCH(L"CBlockDWG::calcSubArea")
}

double CBlockDWG::calcAddArea(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToAdd, document, false);
    KELMO_CATCH(L"CBlockDWG::calcAddArea")
}

double CBlockDWG::calcSubAreaPerimeters(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToMinus, document, true);
    KELMO_CATCH(L"CBlockDWG::calcSubAreaPerimeters")
}

double CBlockDWG::calcAddAreaPerimeters(AcApDocument* document) {
    KELMO_TRY
        return sumListed(m_handlesToAdd, document, true);
    KELMO_CATCH(L"CBlockDWG::calcAddAreaPerimeters")
}

AcDbObjectId CBlockDWG::findBoundary(const AcDbBlockReference* reference) {
    AcDbObjectId boundary;
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return boundary;
    OpenedObject openedDefinition(definition);
    AcDbBlockTableRecordIterator* iterator = nullptr;
    if (definition->newIterator(iterator) != Acad::eOk) return boundary;
    for (iterator->start(); !iterator->done() && boundary.isNull(); iterator->step()) {
        AcDbEntity* member = nullptr;
        if (iterator->getEntity(member, AcDb::kForRead) != Acad::eOk) continue;
        if (std::wcscmp(member->isA()->name(), L"AcDbPolyline") == 0) boundary = member->objectId();
        member->close();
    }
    delete iterator;
    return boundary;
}

namespace {

// What measure makes of the reference and its boundary, both open for reading: nothing when the
// reference will not open, 0 when it has no boundary.
template <typename FindBoundary, typename Measure>
std::optional<double> measureBoundary(AcDbObjectId referenceId, FindBoundary findBoundary, Measure measure) {
    AcDbBlockReference* reference = nullptr;
    if (acdbOpenObject(reference, referenceId, AcDb::kForRead) != Acad::eOk) return std::nullopt;
    OpenedObject openedReference(reference);
    AcDbPolyline* boundary = nullptr;
    if (acdbOpenObject(boundary, findBoundary(reference), AcDb::kForRead) != Acad::eOk) return 0.0;
    OpenedObject openedBoundary(boundary);
    return measure(reference, boundary);
}

} // namespace

void CBlockDWG::recalculateArea(AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        if (!database) return;
        takePreferenceUnitsWhenUnknown();
        const std::optional<double> area =
            measureBoundary(m_objectId, findBoundary, [&](AcDbBlockReference* reference, AcDbPolyline* boundary) {
                return CAcadUtilities().recalculateBlockArea(reference, boundary, database->lunits(), getUnits());
            });
        if (!area) return;
        setArea(CUtilities::roundDouble(*area - calcSubArea(document) + calcAddArea(document), getPrecision()));
    KELMO_CATCH(L"CBlockDWG::recalculateArea")
}

void CBlockDWG::recalculatePerimeter(AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        if (!database) return;
        takePreferenceUnitsWhenUnknown();
        const std::optional<double> perimeter =
            measureBoundary(m_objectId, findBoundary, [&](AcDbBlockReference* reference, AcDbPolyline* boundary) {
                return CAcadUtilities().recalculateBlockPerimeter(reference, boundary, database->lunits(), getUnits());
            });
        if (!perimeter) return;
        // Holes and additions both lengthen the boundary.
        setPerimeter(*perimeter + calcSubAreaPerimeters(document) + calcAddAreaPerimeters(document));
    KELMO_CATCH(L"CBlockDWG::recalculatePerimeter")
}

void CBlockDWG::convertUnits(int units) {
    KELMO_TRY
        takePreferenceUnitsWhenUnknown();
        if (getUnits() == units) return;
        if (units == 0) {
            setPerimeter(getPerimeter() / 3.2808399);
            setArea(getArea() / 10.7639104);
            setUnits(0);
        } else {
            setPerimeter(getPerimeter() * 3.2808399);
            setArea(getArea() * 10.7639104);
            setUnits(1);
        }
    KELMO_CATCH(L"CBlockDWG::convertUnits")
}

// ---------------------------------------------------------------------------------------------------------
// XML form

IXMLDOMNodePtr CBlockDWG::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"kelmoBlock", namespaceURI);
        element->appendChild(xml.createNode(L"mbHandle", CBlock::getHandle(), namespaceURI));
        if (!getName().IsEmpty()) element->appendChild(xml.createNode(L"mbName", getName(), namespaceURI));
        if (!getCode().IsEmpty()) element->appendChild(xml.createNode(L"mbCode", getCode(), namespaceURI));
        if (getArea() != 0.0)
            element->appendChild(xml.createNode(L"mbArea", CUtilities::DoubleToCString(getArea(), 2), namespaceURI));
        if (m_attributes) {
            const wchar_t* names[] = {L"mbSwapName", L"mbSwapArea", L"mbSwapAux"};
            for (int role = 0; role < 3; ++role) {
                CAttribute* attribute = m_attributes->getAtAttribute(role);
                if (attribute) element->appendChild(xml.createNode(names[role], attribute->getValue(), namespaceURI));
            }
        }
        if (getHyperlinks()) element->appendChild(getHyperlinks()->serialize(namespaceURI));
        if (m_assets) element->appendChild(m_assets->serialize(namespaceURI));
        return element;
    KELMO_CATCH_ALSO(L"CBlockDWG::serialize", kelmo::catchClassLib)
}

void CBlockDWG::deSerialize(IXMLDOMNodePtr node, CHatch* hatch) {
    KELMO_TRY
        if (node == nullptr || nodeName(node) != L"kelmoBlock") return;
        if (hatch) {
            // The block's own copy: the category's hatch may go before the block does.
            CHatch* copy = new CHatch();
            hatch->copyTo(copy);
            delete m_hatch;
            m_hatch = copy;
        }
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            CString name = nodeName(child);
            int role = name == L"mbSwapName" ? 0 : name == L"mbSwapArea" ? 1 : name == L"mbSwapAux" ? 2 : -1;
            if (name == L"mbHandle") {
                setHandle(nodeText(child));
            } else if (name == L"mbName") {
                setName(nodeText(child));
            } else if (name == L"mbCode") {
                setCode(nodeText(child));
            } else if (name == L"mbArea") {
                setArea(CUtilities::CStringToDouble(nodeText(child)));
            } else if (role >= 0) {
                if (!m_attributes) m_attributes = new CAttributes();
                CKelmoAttribute* attribute = new CKelmoAttribute();
                attribute->setSwapType(role);
                attribute->setValue(nodeText(child));
                int before = m_attributes->getCount();
                if (m_attributes->add(attribute, 0) == before) delete attribute;
            } else if (name == L"hyperlinks") {
                CHyperlinks* hyperlinks = new CHyperlinks();
                delete getHyperlinks();
                setHyperlinks(hyperlinks);
                hyperlinks->deSerialize(child);
            } else if (name == L"assets") {
                CAssets* assets = new CAssets();
                delete m_assets;
                m_assets = assets;
                assets->deSerialize(child->GetchildNodes(), nullptr);
            }
        }
    KELMO_CATCH_ALSO(L"CBlockDWG::deSerialize", kelmo::catchClassLib)
}

// ---------------------------------------------------------------------------------------------------------
// Copies

void CBlockDWG::copyInto(CBlockDWG* target) {
    KELMO_TRY
        if (!target) return;
        target->setObjectId(m_objectId);
        target->setHandle(m_dwgHandle);
        target->setColorIndex(m_colorIndex);
        target->setLineWeight(m_lineWeight);
        target->setBlockIdentifier(m_blockIdentifier);
        target->setXDataAppName(m_xDataAppName);
        target->m_nameFromDefinition = m_nameFromDefinition;
        for (INT_PTR i = 0; i < m_handlesToMinus.GetSize(); ++i) target->m_handlesToMinus.Add(m_handlesToMinus[i]);
        for (INT_PTR i = 0; i < m_handlesToAdd.GetSize(); ++i) target->m_handlesToAdd.Add(m_handlesToAdd[i]);
        target->setArea(getArea());
        // The target is a fresh block: what it held is replaced, and freed rather than lost.
        if (m_attributes) {
            CAttributes* attributes = new CAttributes();
            delete target->m_attributes;
            target->m_attributes = attributes;
            m_attributes->copyKelmoAttributesTo(attributes);
        }
        if (m_hatch) {
            CHatch* hatch = new CHatch();
            delete target->m_hatch;
            target->m_hatch = hatch;
            m_hatch->copyTo(hatch);
        }
        if (getHyperlinks()) {
            CHyperlinks* hyperlinks = new CHyperlinks();
            delete target->getHyperlinks();
            target->setHyperlinks(hyperlinks);
            getHyperlinks()->copyTo(hyperlinks);
        }
        if (m_assets) {
            CAssets* assets = new CAssets();
            delete target->m_assets;
            target->m_assets = assets;
            m_assets->copyTo(assets);
        }
        CBlock::copyInto(target);
    KELMO_CATCH(L"CBlockDWG::copyInto")
}

void CBlockDWG::copyFormatting(CBlockDWG* target) {
    KELMO_TRY
        if (!target) return;
        target->setArea(getArea());
        if (m_attributes) {
            if (!target->m_attributes) target->m_attributes = new CAttributes();
            CAttributes* attributes = target->m_attributes;
            attributes->setHeight(m_attributes->getHeight());
            attributes->setRotation(m_attributes->getRotation());
            attributes->setWidthFactor(m_attributes->getWidthFactor());
            for (int i = 0; i < m_attributes->getCount(); ++i) {
                CKelmoAttribute* source = dynamic_cast<CKelmoAttribute*>(m_attributes->getAt(i));
                if (!source) continue;
                CAttribute* existing = attributes->getAtAttribute(source->getSwapType());
                if (existing) {
                    existing->setValue(source->getValue());
                    continue;
                }
                CKelmoAttribute* added = new CKelmoAttribute();
                added->setSwapType(source->getSwapType());
                added->setValue(source->getValue());
                int before = attributes->getCount();
                if (attributes->add(added, 0) == before) delete added;
            }
        }
        if (m_hatch) {
            if (!target->m_hatch) target->m_hatch = new CHatch();
            m_hatch->copyTo(target->m_hatch);
        }
        if (getHyperlinks()) {
            CHyperlinks* hyperlinks = new CHyperlinks();
            delete target->getHyperlinks();
            target->setHyperlinks(hyperlinks);
            getHyperlinks()->copyTo(hyperlinks);
        }
    KELMO_CATCH(L"CBlockDWG::copyFormatting")
}

// ---------------------------------------------------------------------------------------------------------
// Drawing side: helpers

namespace {

constexpr double kPi = 3.141592653589793;

// The layer the entity lies on, as the drawing has it now.
CString layerOf(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) return CString();
    CString layer = entity->layerName().c_str();
    entity->close();
    return layer;
}

// Makes the layer when the drawing lacks it; the name the drawing holds it under, or empty when there
// is no such layer afterwards.
CString ensureLayer(CAcadDrawing* drawing, CString name, const AcCmColor* colour) {
    if (name.IsEmpty()) return CString();
    CString cleaned = CLayer::validateLayerName(name);
    int made = 0;
    if (colour) {
        CLayers layers;
        made = layers.ensureLayerExists(drawing, cleaned, *colour);
    } else {
        made = CLayer::ensureLayerExists(cleaned, drawing);
    }
    return made ? cleaned : CString();
}

// Attributes are hyperlinked only on the hosts whose attributes show them.
bool hostHyperlinksAttributes() {
    int host = g_hostApplication.getHostType();
    return host == CHostApplication::hostAutoCAD || host == CHostApplication::hostAutoCADLT;
}

// A loop from a curve that lives nowhere in the drawing (a transformed copy of a boundary).
Acad::ErrorStatus appendCurveLoop(AcDbHatch* hatch, Adesk::Int32 loopType, const AcDbCurve* curve) {
    cadgeom::BulgePath path;
    AcGeVector3d normal;
    double elevation = 0.0;
    if (!curve || !curve->getPlanePath(path, normal, elevation)) return Acad::eInvalidInput;
    if (!normal.isParallelTo(hatch->normal())) return Acad::eNonPlanarEntity;
    if (path.vertices.size() < 2) return Acad::eDegenerateGeometry;
    bool closed = path.closed || path.vertices.front().pt.isEqualTo(path.vertices.back().pt);
    if (!closed) return Acad::eNotClosedPath;
    AcGeMatrix3d toHatch = AcGeMatrix3d::worldToPlane(hatch->normal()) * AcGeMatrix3d::planeToWorld(normal) *
                           AcGeMatrix3d::translation(AcGeVector3d(0, 0, elevation));
    bool flipped = normal.dotProduct(hatch->normal()) < 0;
    AcGePoint2dArray points;
    AcGeDoubleArray bulges;
    for (const cadgeom::BulgeVertex& vertex : path.vertices) {
        AcGePoint3d p = toHatch * AcGePoint3d(vertex.pt.x, vertex.pt.y, 0);
        points.append(AcGePoint2d(p.x, p.y));
        bulges.append(flipped ? -vertex.bulge : vertex.bulge);
    }
    return hatch->appendLoop(loopType, points, bulges);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Writing back

void CBlockDWG::applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings) {
    KELMO_TRY
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::applyToDWG", 751,
                                   drawingName(drawing), nullptr);
        HeldLock held(drawing);
        CKelmoExceptions ownWarnings;
        if (!warnings) warnings = &ownWarnings;
        AcDbEntity* reference = nullptr;
        status = acdbOpenAcDbEntity(reference, m_objectId, AcDb::kForWrite);
        if (status == Acad::eOnLockedLayer) {
            // Locked layers are common in plans: the space is left as it is, said once on the command
            // line, and the work goes on with the next block.
            acutPrintf(L"\nSpace %s not updated: it lies on the locked layer %s\n",
                       static_cast<const wchar_t*>(getName()), static_cast<const wchar_t*>(layerOf(m_objectId)));
            return;
        }
        if (status != Acad::eOk) {
            // Nothing was written: the caller hears of it.
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::applyToDWG", 0,
                                           drawingName(drawing), nullptr));
            return;
        }
        OpenedObject opened(reference);
        updateBlockIdentifier(reference);
        writeXData(reference);
        if (m_attributes && m_attributes->getCount() > 0)
            m_attributes->applyToDWG(reference, ucsMatrixOf(drawing->getDatabase()), nullptr);
        if (m_hatch) {
            AcDbObjectId hatchId;
            hatchBlock(drawing, reference, &hatchId, warnings);
            if (getHyperlinks()) hyperlinkHatch(&hatchId);
        }
        if (getHyperlinks()) hyperlinkBlock(reference, 0);
        if (m_zoomOnApply != 0) zoomToBlock(drawing, reference);
        if (m_assets) {
            m_assets->applyToDWG(drawing, warnings);
            kelmo_model::keepAssetHatchesOnTop(drawing);
        }
    KELMO_CATCH(L"CBlockDWG::applyToDWG")
}

void CBlockDWG::updateBlockIdentifier(AcDbEntity* entity) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return;
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(definition);
        definition->setName(m_blockIdentifier);
    KELMO_CATCH(L"CBlockDWG::updateBlockIdentifier")
}

void CBlockDWG::updateAttributes(const AcGeMatrix3d& ucs, const AcGePoint3d* anchor) {
    KELMO_TRY
        if (!m_attributes) return;
        m_attributes->applyToDWG(m_objectId, AcGeMatrix3d(ucs), anchor);
    KELMO_CATCH(L"CBlockDWG::updateAttributes")
}

void CBlockDWG::zoomToBlock(CAcadDrawing* drawing, AcDbEntity* entity) {
    KELMO_TRY
        AcGePoint3d minimum;
        AcGePoint3d maximum;
        // A block without a boundary has nothing to zoom to.
        if (!CAcadUtilities().getBlockExtents(entity, minimum, maximum, m_zoomMargin)) return;
        drawing->zoomWindow(minimum, maximum);
    KELMO_CATCH(L"CBlockDWG::zoomToBlock")
}

void CBlockDWG::highlightAreas(HandleArray& handles, CAcadDrawing* drawing, int highlight, int printCount,
                               bool subtracted) {
    if (drawing->lock() != Acad::eOk) return;
    HeldLock held(drawing);
    if (printCount != 0) {
        acutPrintf(subtracted ? L"\nThere are %i area(s) subtracted from this block\n"
                              : L"\nThere are %i area(s) added to this block\n",
                   static_cast<int>(handles.GetSize()));
    }
    AcDbDatabase* database = drawing->getDatabase();
    INT_PTR i = 0;
    while (database && i < handles.GetSize()) {
        AcDbObjectId id;
        Acad::ErrorStatus status = database->getAcDbObjectId(id, false, handles[i]);
        if (status == Acad::eOk && id.isErased()) status = Acad::eUnknownHandle;
        if (status == Acad::eUnknownHandle) {
            handles.RemoveAt(i);
            continue;
        }
        ++i;
        if (status != Acad::eOk) continue;
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
        OpenedObject opened(entity);
        if (highlight != 0) {
            entity->setColorIndex(1, false);
            entity->setLineWeight(AcDb::kLnWt100, true);
        } else {
            entity->setColorIndex(static_cast<Adesk::UInt16>(m_colorIndex), false);
            entity->setLineWeight(static_cast<AcDb::LineWeight>(m_lineWeight), true);
        }
        opened.release();
        status = entity->close();
        if (subtracted && status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::highlightAreasSubtracted", 1620,
                                   drawingName(drawing), nullptr);
    }
    drawing->regenDrawing();
}

void CBlockDWG::highlightAreasSubtracted(CAcadDrawing* drawing, int highlight, int printCount) {
    KELMO_TRY
        highlightAreas(m_handlesToMinus, drawing, highlight, printCount, true);
    KELMO_CATCH(L"CBlockDWG::highlightAreasSubtracted")
}

void CBlockDWG::highlightAreasAdded(CAcadDrawing* drawing, int highlight, int printCount) {
    KELMO_TRY
        highlightAreas(m_handlesToAdd, drawing, highlight, printCount, false);
    KELMO_CATCH(L"CBlockDWG::highlightAreasAdded")
}

// ---------------------------------------------------------------------------------------------------------
// Creating and deleting

Acad::ErrorStatus CBlockDWG::createBlockDefinition(AcDbObjectId& definitionId, AcDbObjectIdArray* entities,
                                                   const AcGePoint3d* basePoint, double textHeight, double widthFactor,
                                                   double rotationDegrees, CAcadDrawing* drawing) {
    KELMO_TRY
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk) return status;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        const double r = rotationDegrees / 180.0 * kPi;
        const double h = textHeight;

        // The record is added before anything is moved: a name already taken leaves the drawing as it was.
        AcDbBlockTable* table = nullptr;
        status = database->getBlockTable(table, AcDb::kForWrite);
        if (status != Acad::eOk) return status;
        OpenedObject openedTable(table);
        AcDbBlockTableRecord* record = new AcDbBlockTableRecord();
        status = record->setName(m_blockIdentifier);
        if (status == Acad::eOk) status = table->add(definitionId, record);
        if (status != Acad::eOk) {
            delete record;
            definitionId.setNull();
            return status;
        }
        OpenedObject openedRecord(record);
        record->setOrigin(AcGePoint3d::kOrigin);

        const AcGeMatrix3d move = AcGeMatrix3d::translation(AcGePoint3d::kOrigin - *basePoint);
        AcDbObjectIdArray moved;
        for (const AcDbObjectId& id : *entities) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
            entity->transformBy(move);
            entity->close();
            moved.append(id);
        }
        status = record->assumeOwnershipOf(*entities);
        if (status != Acad::eOk) {
            // Back where they were, and no half-made record left behind.
            const AcGeMatrix3d back = move.inverse();
            for (const AcDbObjectId& id : moved) {
                AcDbEntity* entity = nullptr;
                if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
                entity->transformBy(back);
                entity->close();
            }
            record->erase();
            definitionId.setNull();
            return status;
        }

        AcGeVector3d normal = ucsMatrixOf(database) * AcGeVector3d::kZAxis;
        AcDbAttributeDefinition* area = new AcDbAttributeDefinition();
        area->setDatabaseDefaults(database);
        area->setPosition(AcGePoint3d::kOrigin);
        area->setHeight(h);
        area->setRotation(r);
        area->setWidthFactor(widthFactor);
        area->setNormal(normal);
        area->setHorizontalMode(AcDb::kTextLeft);
        area->setVerticalMode(AcDb::kTextBase);
        area->setInvisible(false);
        area->setVerifiable(false);
        area->setPreset(false);
        area->setConstant(false);
        area->setFieldLength(25);
        area->setTag(L"AREA");
        area->setPrompt(L"Enter Area");
        area->setTextString(L"DEFAULT AREA");
        CString layer = ensureLayer(drawing, L"ATT-AREA", nullptr);
        if (!layer.IsEmpty()) area->setLayer(layer);

        struct Copy {
            const wchar_t* tag;
            const wchar_t* prompt;
            const wchar_t* text;
            const wchar_t* layer;
            AcGePoint3d position;
        };
        const Copy copies[] = {
            {L"NAME", L"Enter Name", L"DEFAULT NAME", L"ATT-NAME",
             AcGePoint3d(1.5 * h * std::sin(r), -1.5 * h * std::cos(r), 0)},
            {L"AUX", L"Enter Auxillary Value", L"DEFAULT AUX", L"ATT-AUX",
             AcGePoint3d(-1.5 * h * std::sin(r), 1.5 * h * std::cos(r), 0)},
        };
        AcDbAttributeDefinition* definitions[3] = {area, nullptr, nullptr};
        for (int i = 0; i < 2; ++i) {
            AcDbAttributeDefinition* copy = static_cast<AcDbAttributeDefinition*>(area->cloneData());
            copy->setPosition(copies[i].position);
            copy->setPrompt(copies[i].prompt);
            copy->setTextString(copies[i].text);
            copy->setTag(copies[i].tag);
            CString copyLayer = ensureLayer(drawing, copies[i].layer, nullptr);
            if (!copyLayer.IsEmpty()) copy->setLayer(copyLayer);
            definitions[i + 1] = copy;
        }
        for (int i = 0; i < 3; ++i) {
            status = record->appendAcDbEntity(definitions[i]);
            if (status != Acad::eOk) {
                for (int j = i; j < 3; ++j) delete definitions[j];
                return status;
            }
            definitions[i]->close();
        }
        return Acad::eOk;
    KELMO_CATCH(L"CBlockDWG::createBlockDefinition")
}

Acad::ErrorStatus CBlockDWG::createBlock(CAcadDrawing* drawing, AcDbEntity* boundary, const AcGePoint3d* insertionPoint,
                                         double textHeight, double widthFactor, double rotationDegrees) {
    KELMO_TRY
        AcDbObjectIdArray ids(0, 8);
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk) return status;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        CString layer = boundary->layerName().c_str();
        ids.append(boundary->objectId());
        AcDbObjectId definitionId;
        status = createBlockDefinition(definitionId, &ids, insertionPoint, textHeight, widthFactor, rotationDegrees,
                                       drawing);
        if (status != Acad::eOk) return status;

        const AcGeMatrix3d ucs = ucsMatrixOf(database);
        AcDbBlockReference* reference = new AcDbBlockReference();
        reference->setDatabaseDefaults(database);
        reference->setLayer(layer);
        reference->setBlockTableRecord(definitionId);
        reference->setPosition(*insertionPoint);
        reference->setRotation(0.0);
        reference->transformBy(ucs);
        reference->setNormal(ucs * AcGeVector3d::kZAxis);

        status = appendToModelSpace(database, reference);
        if (status != Acad::eOk) return status;
        OpenedObject openedReference(reference);

        AcDbBlockTableRecord* definition = nullptr;
        status = acdbOpenObject(definition, definitionId, AcDb::kForRead);
        if (status != Acad::eOk) return status;
        OpenedObject openedDefinition(definition);
        const AcGeMatrix3d blockTransform = reference->blockTransform();
        for (const AcDbObjectId& id : definition->entityIds()) {
            AcDbAttributeDefinition* attributeDefinition = nullptr;
            if (acdbOpenObject(attributeDefinition, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject openedAttributeDefinition(attributeDefinition);
            if (attributeDefinition->isConstant()) continue;
            AcDbAttribute* attribute = attributeFromDefinition(attributeDefinition, blockTransform);
            CString tag = attributeDefinition->tagConst();
            int role = tag == L"NAME" ? 0 : tag == L"AREA" ? 1 : tag == L"AUX" ? 2 : -1;
            if (m_attributes && role >= 0) {
                CAttribute* value = m_attributes->getAtAttribute(role);
                if (value) attribute->setTextString(value->getValue());
            }
            status = reference->appendAttribute(attribute);
            if (status != Acad::eOk) {
                delete attribute;
                return status;
            }
            attribute->close();
        }
        writeXData(reference);
        return Acad::eOk;
    KELMO_CATCH(L"CBlockDWG::createBlock")
}

Acad::ErrorStatus CBlockDWG::appendToModelSpace(AcDbDatabase* database, AcDbBlockReference* reference) {
    AcDbBlockTable* table = nullptr;
    Acad::ErrorStatus status = database->getBlockTable(table, AcDb::kForRead);
    AcDbBlockTableRecord* modelSpace = nullptr;
    if (status == Acad::eOk) {
        status = table->getAt(ACDB_MODEL_SPACE, modelSpace, AcDb::kForWrite);
        table->close();
    }
    if (status == Acad::eOk) {
        status = modelSpace->appendAcDbEntity(reference);
        modelSpace->close();
    }
    if (status != Acad::eOk) delete reference;
    return status;
}

AcDbAttribute* CBlockDWG::attributeFromDefinition(const AcDbAttributeDefinition* definition,
                                                  const AcGeMatrix3d& blockTransform) {
    auto* attribute = new AcDbAttribute();
    try {
        attribute->setPropertiesFrom(definition);
        attribute->setInvisible(definition->isInvisible());
        attribute->setPosition(definition->position());
        attribute->setHeight(definition->height());
        attribute->setHorizontalMode(AcDb::kTextLeft);
        attribute->setRotation(definition->rotation());
        attribute->setWidthFactor(definition->widthFactor());
        attribute->setNormal(definition->normal());
        attribute->setTag(definition->tagConst());
        attribute->setFieldLength(definition->fieldLength());
        attribute->setTextString(definition->textStringConst());
        attribute->transformBy(blockTransform);
        return attribute;
    } catch (...) {
        delete attribute;
        throw;
    }
}

int CBlockDWG::deleteBlock(CAcadDrawing* drawing) {
    KELMO_TRY
        if (drawing->lock() != Acad::eOk) return 0;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        AcDbBlockReference* reference = nullptr;
        if (acdbOpenObject(reference, m_objectId, AcDb::kForWrite) != Acad::eOk) return 0;
        OpenedObject openedReference(reference);
        // A skewed or unevenly scaled boundary could not come back as a polyline.
        const AcGeMatrix3d blockTransform = reference->blockTransform();
        if (!blockTransform.isUniScaledOrtho()) return 0;
        const AcDbObjectId owner = reference->ownerId();
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForWrite) != Acad::eOk) return 0;
        OpenedObject openedDefinition(definition);

        // Everything the definition draws comes back; its attribute definitions do not.
        AcDbObjectIdArray ids;
        AcDbBlockTableRecordIterator* iterator = nullptr;
        if (definition->newIterator(iterator) != Acad::eOk) return 0;
        for (iterator->start(); !iterator->done(); iterator->step()) {
            AcDbObjectId id;
            if (iterator->getEntityId(id) != Acad::eOk) continue;
            AcDbObject* peeked = nullptr;
            if (acdbOpenObject(peeked, id, AcDb::kForRead) != Acad::eOk) continue;
            bool attributeDefinition = AcDbAttributeDefinition::cast(peeked) != nullptr;
            peeked->close();
            if (!attributeDefinition) ids.append(id);
        }
        delete iterator;

        AcDbIdMapping map;
        if (!ids.isEmpty()) {
            if (database->deepCloneObjects(ids, owner, map) != Acad::eOk) return 0;
        }
        AcDbObjectIdArray clones;
        for (const AcDbIdPair& pair : map.pairs()) {
            if (pair.isCloned() && pair.isPrimary()) clones.append(pair.value());
        }
        bool failed = false;
        for (const AcDbObjectId& id : clones) {
            AcDbEntity* clone = nullptr;
            if (acdbOpenAcDbEntity(clone, id, AcDb::kForWrite) != Acad::eOk) {
                failed = true;
                break;
            }
            clone->transformBy(blockTransform);
            clone->close();
        }
        if (failed) {
            // Half a block in the drawing is worse than none: the copies go again.
            for (const AcDbObjectId& id : clones) {
                AcDbObject* clone = nullptr;
                if (acdbOpenObject(clone, id, AcDb::kForWrite) != Acad::eOk) continue;
                clone->erase();
                clone->close();
            }
            return 0;
        }
        reference->erase();
        openedReference.close();
        deleteBlockDefinition(drawing, definition);
        return 1;
    KELMO_CATCH(L"CBlockDWG::deleteBlock")
}

void CBlockDWG::deleteBlockDefinition(CAcadDrawing*, AcDbBlockTableRecord* definition) {
    KELMO_TRY
        if (!definition) return;
        // Any insert anywhere, in model space, a layout or another block, keeps the definition.
        AcDbObjectIdArray references;
        if (definition->getBlockReferenceIds(references) != Acad::eOk) return;
        if (references.length() < 1) definition->erase();
    KELMO_CATCH(L"CBlockDWG::deleteBlockDefinition")
}

// ---------------------------------------------------------------------------------------------------------
// Hatching and hyperlinks

void CBlockDWG::hatchBlock(CAcadDrawing* drawing, AcDbEntity* reference, AcDbObjectId* hatchId,
                           CKelmoExceptions* warnings) {
    KELMO_TRY
        AcDbBlockReference* insert = AcDbBlockReference::cast(reference);
        if (!insert) return;
        AcDbObjectId boundary = findBoundary(insert);
        AcDbDatabase* database = drawing->getDatabase();
        AcDbObjectIdArray addIds;
        AcDbObjectIdArray subtractIds;
        convertHandlesToObjectIds(m_handlesToAdd, database, &addIds);
        convertHandlesToObjectIds(m_handlesToMinus, database, &subtractIds);
        hatchObject(drawing, reference, boundary, subtractIds, addIds, hatchId, warnings);
    KELMO_CATCH_ALSO(L"CBlockDWG::hatchBlock", kelmo::catchClassLib)
}

void CBlockDWG::hatchObject(CAcadDrawing* drawing, AcDbEntity* reference, AcDbObjectId boundary,
                            AcDbObjectIdArray subtractIds, AcDbObjectIdArray addIds, AcDbObjectId* hatchId,
                            CKelmoExceptions* warnings) {
    if (!m_hatch || !warnings) return;
    AcDbHatch* hatch = nullptr;
    AcDbEntity* outline = nullptr;
    try {
        const CString name = getName();
        const CString where = drawingName(drawing);
        AcDbBlockReference* insert = AcDbBlockReference::cast(reference);
        if (!insert) return;
        hatch = new AcDbHatch();
        hatch->setPatternAngle(static_cast<double>(m_hatch->getAngle()));
        hatch->setPatternScale(static_cast<double>(m_hatch->getScale()));
        hatch->setAssociative(false);
        Acad::ErrorStatus status = hatch->setPattern(AcDbHatch::kPreDefined, m_hatch->getPattern());
        if (status != Acad::eOk) {
            warnings->add(
                new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject", 0, where, nullptr));
            delete hatch;
            return;
        }
        AcCmColor colour = m_hatch->getColour();
        colour.setColorMethod(AcCm::kByColor);
        hatch->setColor(colour, true);
        hatch->setHatchStyle(AcDbHatch::kNormal);
        hatch->setNormal(ucsMatrixOf(drawing->getDatabase()) * AcGeVector3d::kZAxis);
        hatch->setElevation(0.0);
        // The hatch goes on the layer under the name the drawing could hold it by.
        CString layer = ensureLayer(drawing, m_hatch->getLayer(), &colour);
        if (!layer.IsEmpty()) hatch->setLayer(layer, true, false);

        // The outer loop comes from a copy of the boundary placed where the reference shows it: the
        // definition, which every reference of the block shares, is never moved.
        status = Acad::eNullObjectId;
        AcDbEntity* source = nullptr;
        if (acdbOpenAcDbEntity(source, boundary, AcDb::kForRead) == Acad::eOk) {
            status = source->getTransformedCopy(insert->blockTransform(), outline);
            source->close();
        }
        if (status == Acad::eOk) status = appendCurveLoop(hatch, AcDbHatch::kOutermost, AcDbCurve::cast(outline));
        delete outline;
        outline = nullptr;
        if (status != Acad::eOk) {
            delete hatch;
            hatch = nullptr;
            warnings->add(new CEXHatchPolylineNotClosed(name, CBlock::getHandle(), KELMO_BANNER, kelmoSourceFile,
                                                        L"CBlockDWG::hatchObject"));
            return;
        }
        for (const AcDbObjectId& id : addIds) {
            AcDbObjectIdArray one;
            one.append(id);
            if (hatch->appendLoop(AcDbHatch::kExternal, one) != Acad::eOk)
                warnings->add(
                    new CEXHatchAdditionalAreas(name, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        }
        for (const AcDbObjectId& id : subtractIds) {
            AcDbObjectIdArray one;
            one.append(id);
            if (hatch->appendLoop(AcDbHatch::kDefault, one) != Acad::eOk)
                warnings->add(new CEXHatchNoHatchAreas(name, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        }
        status = hatch->evaluateHatch(true);
        if (status == Acad::eHatchTooDense) {
            warnings->add(new CEXHatchTooDense(L"kelmo block " + name, m_hatch->getPattern(), m_hatch->getScale(),
                                               KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        } else if (status == Acad::eAmbiguousOutput) {
            warnings->add(new CEXHatchNotDenseEnough(L"kelmo block " + name, m_hatch->getPattern(), m_hatch->getScale(),
                                                     KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        } else if (status != Acad::eOk) {
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject", 3611,
                                           where, nullptr));
        }
        status = kelmo_model::postColourHatch(drawing, hatch, hatchId, insert->objectId(), false);
        if (status != Acad::eOk)
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject", 3626,
                                           where, nullptr));
    } catch (...) {
        delete outline;
        delete hatch;
        warnings->add(kelmo::wrapCurrent(kelmoSourceFile, L"CBlockDWG::hatchObject", kelmo::catchClassLib));
    }
}

void CBlockDWG::hyperlinkHatch(const AcDbObjectId* hatchId) {
    KELMO_TRY
        if (!hatchId) return;
        AcDbObject* object = nullptr;
        if (acdbOpenObject(object, *hatchId, AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(object);
        hyperlinkEntity(AcDbEntity::cast(object));
    KELMO_CATCH_ALSO(L"CBlockDWG::hyperlinkHatch", kelmo::catchClassLib)
}

void CBlockDWG::hyperlinkEntity(AcDbEntity* entity) {
    KELMO_TRY
        if (!entity) return;
        CHyperlinks none;
        (getHyperlinks() ? getHyperlinks() : &none)->applyToEntity(entity);
    KELMO_CATCH_ALSO(L"CBlockDWG::hyperlinkEntity", kelmo::catchClassLib)
}

void CBlockDWG::hyperlinkBlock(AcDbEntity* reference, int fromDefinition) {
    KELMO_TRY
        AcDbBlockReference* insert = AcDbBlockReference::cast(reference);
        if (fromDefinition == 0) {
            hyperlinkEntity(reference);
            if (!insert || !hostHyperlinksAttributes()) return;
        } else {
            if (!insert) return;
            AcDbBlockTableRecord* definition = nullptr;
            if (acdbOpenObject(definition, insert->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
                OpenedObject openedDefinition(definition);
                for (const AcDbObjectId& id : definition->entityIds()) {
                    AcDbEntity* member = nullptr;
                    if (acdbOpenAcDbEntity(member, id, AcDb::kForWrite) != Acad::eOk) continue;
                    OpenedObject openedMember(member);
                    hyperlinkEntity(member);
                }
            }
        }
        for (const AcDbObjectId& id : insert->attributeIds()) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            hyperlinkEntity(attribute);
        }
    KELMO_CATCH_ALSO(L"CBlockDWG::hyperlinkBlock", kelmo::catchClassLib)
}

// ---------------------------------------------------------------------------------------------------------
// Export to the planning tables

namespace {

// The values both exports send after their first ones, in order.
void addRecordValues(kelmo_model::RegisterCall& call, CBlockDWG& block) {
    call.addDecimal(L"@area", block.getArea());
    call.addVarChar(L"@areaType", 255, block.getAreaType());
    call.addVarChar(L"@costCentre", 255, block.getCostCentre());
    call.addVarChar(L"@date", 255, block.getDate());
    call.addVarChar(L"@dateLastMove", 255, block.getDateLastMove());
    call.addVarChar(L"@deptCharge", 255, block.getDeptCharge());
    call.addVarChar(L"@handle", 255, block.CBlock::getHandle());
    call.addDecimal(L"@perimeter", block.getPerimeter());
    call.addDecimal(L"@roomHeight", block.getRoomHeight());
    call.addVarChar(L"@specialReq", 255, block.getSpecialReq());
    call.addVarChar(L"@tagType", 255, block.getTagType());
    call.addVarChar(L"@totStaff", 255, block.getTotStaff());
    call.addVarChar(L"@totWkStns", 255, block.getTotWkStns());
    call.addDecimal(L"@volume", block.getVolume());
}

} // namespace

void CBlockDWG::exportSpaceToTP(kelmo_model::RegisterCall& call, int timeout, int parentID,
                                const CString& exportParameters) {
    call.addInt(L"@parentID", 1, parentID);
    call.addVarChar(L"@name", 255, getName());
    call.addVarChar(L"@code", 255, getCode());
    addRecordValues(call, *this);
    call.addVarChar(L"@exportParameters", 255, exportParameters);
    call.prepare(L"__to_exportSpaceBlockToTP", timeout);
    call.procedure()->execSPNoReturnParas();
}

void CBlockDWG::exportGrossAreaToTP(kelmo_model::RegisterCall& call, int timeout, int locationID,
                                    const CString& exportParameters) {
    call.addInt(L"@locationID", 1, locationID);
    addRecordValues(call, *this);
    call.addVarChar(L"@exportParameters", 255, exportParameters);
    call.prepare(L"__to_exportGrossAreaBlocktoTP", timeout);
    call.procedure()->execSPNoReturnParas();
}
