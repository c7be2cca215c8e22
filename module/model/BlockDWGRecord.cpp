// The space record a block keeps in its extended entity data: reading it, writing it, keeping what was stored.
#include "model/BlockDWG.h"

#include <cmath>
#include <cwchar>
#include <cwctype>

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "model/Attributes.h"
#include "model/BlockDWGInternal.h"
#include "model/Blocks.h"
#include "model/SpaceName.h"
#include "model/UnitChange.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::block_dwg::kNoXData;

namespace {

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

// Both read every item of every space's record: no copies.
bool startsWith(const wchar_t* text, const wchar_t* key) {
    return std::wcsncmp(text, key, std::wcslen(key)) == 0;
}

bool endsWith(const CString& text, const wchar_t* suffix) {
    const int length = static_cast<int>(std::wcslen(suffix));
    return text.GetLength() >= length &&
           std::wcscmp(static_cast<const wchar_t*>(text) + text.GetLength() - length, suffix) == 0;
}

// The keys of a space record, in the order they are written.
constexpr int kRecordKeys = 16;
constexpr const wchar_t* kRecordKey[kRecordKeys] = {
    L"AREA=",       L"PERIMETER=",   L"NAME=",           L"TAGTYPE=",      L"AREA_TYPE=",   L"COST_CENTRE=",
    L"DATE=",       L"DATE_L_MOVE=", L"DEPT_CHARGE=",    L"ROOM_HEIGHT=",  L"SPECIAL_REQ=", L"TOT_STAFF=",
    L"TOT_WKSTNS=", L"VOLUME=",      L"HANDLESTOMINUS=", L"HANDLESTOADD=",
};
enum RecordKey { keyArea = 0, keyPerimeter = 1, keyRoomHeight = 9, keyVolume = 13, keyMinus = 14, keyAdd = 15 };

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

// Whether a number begins the text, so that a command can read it.
bool beginsWithNumber(const CString& text) {
    int i = 0;
    while (i < text.GetLength() && std::iswspace(text[i])) ++i;
    if (i < text.GetLength() && (text[i] == L'+' || text[i] == L'-')) ++i;
    if (i < text.GetLength() && (text[i] == L'.' || text[i] == L',')) ++i;
    return i < text.GetLength() && std::iswdigit(text[i]);
}

// A stored room height or volume: its number, a decimal comma read as a point ("2,75m." is 2.75 m),
// and the units its text names (0 metric, 1 imperial, -1 none).
double readMeasure(CString text, const wchar_t* metric, const wchar_t* imperial, int& named) {
    text.TrimRight();
    named = endsWith(text, imperial) ? 1 : endsWith(text, metric) ? 0 : -1;
    const int comma = text.Find(L',');
    const int point = text.Find(L'.');
    // A comma is the number's decimal sign unless a point follows it in the number ("1,234.5").
    if (comma >= 0 && !(point > comma && point + 1 < text.GetLength() && std::iswdigit(text[point + 1])))
        text.SetAt(comma, L'.');
    return CUtilities::CStringToDouble(text);
}

} // namespace

void CBlockDWG::readXData(resbuf* list, AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        // The units a stored room height and volume name, when they name any.
        int heightUnits = -1;
        int volumeUnits = -1;
        for (resbuf* item = list; item; item = item->rbnext) {
            if (item->restype != 1000 || !item->resval.rstring) continue;
            const wchar_t* text = item->resval.rstring;
            if (startsWith(text, L"AREA=")) {
                // The key always goes; a unit only when it is there, so a bare number is kept.
                CString value(text + 5);
                m_storedTexts[storedArea] = value;
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
                m_storedTexts[storedPerimeter] = value;
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
                m_storedTexts[storedHeight] = text + 12;
                m_heightUnread = !beginsWithNumber(m_storedTexts[storedHeight]);
                setRoomHeight(readMeasure(m_storedTexts[storedHeight], L"m.", L"ft.", heightUnits));
            } else if (startsWith(text, L"SPECIAL_REQ=")) {
                setSpecialReq(CString(text + 12));
            } else if (startsWith(text, L"TOT_STAFF=")) {
                setTotStaff(CString(text + 10));
            } else if (startsWith(text, L"TOT_WKSTNS=")) {
                setTotWkStns(CString(text + 11));
            } else if (startsWith(text, L"VOLUME=")) {
                m_storedTexts[storedVolume] = text + 7;
                m_volumeUnread = !beginsWithNumber(m_storedTexts[storedVolume]);
                setVolume(readMeasure(m_storedTexts[storedVolume], L"cu.m.", L"cu.ft.", volumeUnits));
            } else if (startsWith(text, L"HANDLESTOMINUS=")) {
                CString value(text + 15);
                if (!value.IsEmpty()) fillHandles(m_handlesToMinus, value, database);
            } else if (startsWith(text, L"HANDLESTOADD=")) {
                CString value(text + 13);
                if (!value.IsEmpty()) fillHandles(m_handlesToAdd, value, database);
            }
        }
        // A height or volume written in the record's other units ("8.86ft." in a metric record) is
        // read in the units it names; in a record whose units are not known yet it is taken as held.
        if (heightUnits != -1) setRoomHeight(kelmo_model::lengthInUnits(getRoomHeight(), heightUnits, getUnits()));
        if (volumeUnits != -1) setVolume(kelmo_model::volumeInUnits(getVolume(), volumeUnits, getUnits()));
    KELMO_CATCH(L"CBlockDWG::readXData")
}

CString CBlockDWG::getRoomHeightText() const {
    if (m_heightUnread && getRoomHeight() == 0.0) return m_storedTexts[storedHeight];
    return CUtilities::DoubleToCString(getRoomHeight(), getPrecision()) + (getKnownUnits() == 1 ? L"ft." : L"m.");
}

CString CBlockDWG::getVolumeText() const {
    if (m_volumeUnread && getVolume() == 0.0) return m_storedTexts[storedVolume];
    return CUtilities::DoubleToCString(getVolume(), getPrecision()) + (getKnownUnits() == 1 ? L"cu.ft." : L"cu.m.");
}

bool CBlockDWG::holdsStoredRecord() const {
    return m_xDataAppName != kNoXData;
}

void CBlockDWG::writeXData(AcDbObject* object) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(object);
        if (!reference) return;
        if (m_xDataAppName == kNoXData) m_xDataAppName = L"ADE";
        // A record kept as it stands is none where the space holds none: colouring a space is no
        // reason to make one up of values never measured.
        if (m_keepsStoredRecord) {
            resbuf* stored = reference->xData(m_xDataAppName);
            if (!stored) return;
            acutRelRb(stored);
        }
        registerApplication(object->database(), m_xDataAppName);
        resbuf* head = recordData(reference);
        Acad::ErrorStatus status = object->setXData(head);
        acutRelRb(head);
        // A record the drawing did not take must not pass for written.
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::writeXData", 0, CString(),
                                   nullptr);
    KELMO_CATCH(L"CBlockDWG::writeXData")
}

resbuf* CBlockDWG::recordData(AcDbBlockReference* reference) {
    if (m_xDataAppName == kNoXData) m_xDataAppName = L"ADE";
    takePreferenceUnitsWhenUnknown();
    bool imperial = getUnits() == 1;
    CString areaUnit = imperial ? L"sq.ft." : L"sq.m.";
    CString lengthUnit = imperial ? L"ft." : L"m.";
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
        L"ROOM_HEIGHT=" + getRoomHeightText(),
        L"SPECIAL_REQ=" + getSpecialReq(),
        L"TOT_STAFF=" + getTotStaff(),
        L"TOT_WKSTNS=" + getTotWkStns(),
        L"VOLUME=" + getVolumeText(),
        L"HANDLESTOMINUS=" + getHandlesToMinusAsString(),
        L"HANDLESTOADD=" + getHandlesToAddAsString(),
    };
    resbuf* head = m_keepsStoredRecord ? keptRecord(reference, texts) : nullptr;
    if (head) return head;
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
    return head;
}

CString CBlockDWG::whatDoesNotFit(AcDbBlockReference* reference) {
    KELMO_TRY
        CString what;
        resbuf* head = recordData(reference);
        for (resbuf* item = head; item && what.IsEmpty(); item = item->rbnext) {
            if (item->restype != 1000 || !item->resval.rstring) continue;
            const int bytes = kelmo_model::storedStringBytes(item->resval.rstring);
            if (bytes <= kelmo_model::storedStringLimit) continue;
            const CString text(item->resval.rstring);
            const int equals = text.Find(L'=');
            what = L"its " + (equals > 0 ? text.Left(equals) : CString(L"record")) + L" takes " +
                   CUtilities::IntToCString(bytes) + L" bytes";
        }
        acutRelRb(head);
        return what;
    KELMO_CATCH(L"CBlockDWG::whatDoesNotFit")
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
    return kelmo_model::storedStringBytes(text) <= kelmo_model::storedStringLimit;
}
