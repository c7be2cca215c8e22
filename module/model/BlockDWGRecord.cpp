// The space record a block keeps in its extended entity data: reading it, writing it, keeping what was stored.
#include "model/BlockDWG.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <set>
#include <string>

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

// A unit is the same unit in capitals: "39.00M." is 39 metres, "12.00SQ.M." twelve square metres.
bool endsWithUnit(const CString& text, const wchar_t* unit) {
    const int length = static_cast<int>(std::wcslen(unit));
    if (text.GetLength() < length) return false;
    const wchar_t* tail = static_cast<const wchar_t*>(text) + text.GetLength() - length;
    for (int i = 0; i < length; ++i)
        if (std::towlower(static_cast<wint_t>(tail[i])) != std::towlower(static_cast<wint_t>(unit[i]))) return false;
    return true;
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

// A unit a stored room height or volume may name, and how many of it make a metre, a foot, a cubic
// metre or a cubic foot. A longer text comes before one it ends with ("mm" before "m").
struct MeasureUnit {
    const wchar_t* text;
    int units; // 0 metric, 1 imperial
    double perWhole;
};
constexpr MeasureUnit kLengthUnits[] = {
    {L"cm.", 0, 100.0}, {L"mm.", 0, 1000.0}, {L"cm", 0, 100.0}, {L"mm", 0, 1000.0}, {L"m.", 0, 1.0},
    {L"m", 0, 1.0},     {L"ft.", 1, 1.0},    {L"ft", 1, 1.0},   {L"'", 1, 1.0},
};
constexpr MeasureUnit kVolumeUnits[] = {
    {L"cu.m.", 0, 1.0},  {L"cu.m", 0, 1.0},  {L"m3", 0, 1.0},  {L"m\u00b3", 0, 1.0},
    {L"cu.ft.", 1, 1.0}, {L"cu.ft", 1, 1.0}, {L"ft3", 1, 1.0}, {L"ft\u00b3", 1, 1.0},
};

// The whole text as a number, as the number reader takes it everywhere: digits with a decimal point or
// comma, a thousands separator where the other sign is the decimal ("1,250.00", "1.234,5") or where it
// stands more than once ("1,234,567"), an exponent ("3.9E+01"). A lone comma before three digits ("1,250")
// could be either, and is not read.
bool readNumber(const CString& text, double& value) {
    return CUtilities::readWholeNumber(text, value);
}

// How many digits follow the decimal sign of a number that reads whole: the last point or comma, when
// that sign stands once ("1,092.50" and "92,50" have two, "1,234,567" none); an exponent moves the
// point ("1.25E+01" has one, "1.2E-01" three).
int decimalsOf(const CString& number) {
    std::wstring text(static_cast<const wchar_t*>(number), static_cast<std::size_t>(number.GetLength()));
    long shift = 0;
    if (const std::size_t e = text.find_first_of(L"eE"); e != std::wstring::npos) {
        shift = std::wcstol(text.c_str() + e + 1, nullptr, 10);
        text.erase(e);
    }
    const std::size_t sign = text.find_last_of(L".,");
    long decimals = 0;
    if (sign != std::wstring::npos && std::count(text.begin(), text.end(), text[sign]) == 1)
        decimals = static_cast<long>(text.size() - sign - 1);
    return static_cast<int>(std::clamp(decimals - shift, 0L, 1000L));
}

// The most decimals a record's values are written with, as the preferences and the markers hold: an area
// stored with more keeps its own text while it holds that value, and gives the other values no digits
// nobody wrote.
constexpr int kPrecisionMax = 9;

// A stored area without its unit, read whole with the decimals it was written with ("11" has none); false
// when it reads as no number, which gives the module's own two decimals: the record's other values are
// not rewritten at a precision taken from it.
bool storedAmount(CString text, double& value, int& decimals) {
    text.Trim();
    const bool whole = readNumber(text, value);
    decimals = whole ? decimalsOf(text) : 2;
    return whole;
}

// A stored perimeter, room height or volume read whole: a number, then perhaps a unit of `units`, which
// gives the value in metres or feet (cubic for a volume) and the unit it names (null none). False when
// the text is anything else ("0x1Am.", "1e999cu.m.", "n/a", nothing): a command then keeps it as it stands.
template <size_t count>
bool readMeasure(CString text, const MeasureUnit (&units)[count], double& value, const MeasureUnit*& named) {
    text.Trim();
    named = nullptr;
    for (const MeasureUnit& unit : units) {
        if (!endsWithUnit(text, unit.text)) continue;
        text = text.Left(text.GetLength() - static_cast<int>(std::wcslen(unit.text)));
        text.TrimRight();
        named = &unit;
        break;
    }
    if (!readNumber(text, value)) return false;
    if (named) value /= named->perWhole;
    return std::isfinite(value);
}

// What a read measure's text gave, before the record's units are known.
CBlockDWG::AsWritten asWritten(double value, const MeasureUnit* named, int recordUnits) {
    if (!named) return {value, recordUnits};
    return {value, named->units, named->perWhole, named->text};
}

// A perimeter, height or volume the record holds in `units`, as the record writes it. One converted from
// other units (feet in a metric record, millimetres or centimetres) is written in the units it was
// written in when the record's units at this precision cannot give it back ("9.00ft." is 2.74 m, which is
// 8.99 ft; "2.70mm." is 0.00 m): units back and forth lose nothing.
CString measureText(double held, int units, int precision, const CBlockDWG::AsWritten& written,
                    double (*inUnits)(double, int, int), const wchar_t* metric, const wchar_t* imperial) {
    const double asRead = inUnits(written.value, written.units, units);
    const bool converted = (written.units == 0 || written.units == 1) &&
                           (written.units != units || (written.perWhole != 1.0 && written.unit));
    if (converted && std::fabs(held - asRead) <= 1e-9 * std::max({1.0, std::fabs(held), std::fabs(asRead)})) {
        const double back = inUnits(CUtilities::roundDouble(held, precision), units, written.units);
        bool lost =
            CUtilities::DoubleToCString(back, precision) != CUtilities::DoubleToCString(written.value, precision);
        // Millimetres or centimetres are lost when metres at this precision cannot give their number back.
        const bool part = written.perWhole != 1.0 && written.unit;
        const CString number = CUtilities::DoubleToCString(written.value * written.perWhole, precision);
        if (part)
            lost =
                lost || CUtilities::DoubleToCString(
                            CUtilities::roundDouble(written.value, precision) * written.perWhole, precision) != number;
        if (lost) return number + (written.units == 1 ? imperial : part ? written.unit : metric);
    }
    return CUtilities::DoubleToCString(held, precision) + (units == 1 ? imperial : metric);
}

} // namespace

void CBlockDWG::readXData(resbuf* list, AcApDocument* document) {
    KELMO_TRY
        AcDbDatabase* database = document ? document->database() : nullptr;
        // The units a stored room height and volume name, when they name any.
        const MeasureUnit* perimeterUnit = nullptr;
        const MeasureUnit* heightUnit = nullptr;
        const MeasureUnit* volumeUnit = nullptr;
        for (resbuf* item = list; item; item = item->rbnext) {
            if (item->restype != 1000 || !item->resval.rstring) continue;
            const wchar_t* text = item->resval.rstring;
            if (startsWith(text, L"AREA=")) {
                // The key always goes; a unit only when it is there, so a bare number is kept.
                CString value(text + 5);
                m_storedTexts[storedArea] = value;
                if (endsWithUnit(value, L"sq.m.")) {
                    value = value.Left(value.GetLength() - 5);
                    setUnits(0);
                } else if (endsWithUnit(value, L"sq.ft.")) {
                    value = value.Left(value.GetLength() - 6);
                    setUnits(1);
                }
                double area = 0.0;
                int decimals = 0;
                m_areaUnread = !storedAmount(value, area, decimals) && !CString(value).Trim().IsEmpty();
                setArea(m_areaUnread ? 0.0 : area);
                m_areaAsWritten = {area, getUnits()};
                m_areaPastPrecision = !m_areaUnread && decimals > kPrecisionMax;
                setPrecision(std::min(decimals, kPrecisionMax));
            } else if (startsWith(text, L"PERIMETER=")) {
                // Read as a height is, in any length unit; no length is below nothing.
                m_storedTexts[storedPerimeter] = text + 10;
                double perimeter = 0.0;
                m_perimeterUnread =
                    !readMeasure(m_storedTexts[storedPerimeter], kLengthUnits, perimeter, perimeterUnit) ||
                    perimeter < 0.0;
                setPerimeter(m_perimeterUnread ? 0.0 : perimeter);
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
                double height = 0.0;
                m_heightUnread = !readMeasure(m_storedTexts[storedHeight], kLengthUnits, height, heightUnit);
                setRoomHeight(m_heightUnread ? 0.0 : height);
            } else if (startsWith(text, L"SPECIAL_REQ=")) {
                setSpecialReq(CString(text + 12));
            } else if (startsWith(text, L"TOT_STAFF=")) {
                setTotStaff(CString(text + 10));
            } else if (startsWith(text, L"TOT_WKSTNS=")) {
                setTotWkStns(CString(text + 11));
            } else if (startsWith(text, L"VOLUME=")) {
                m_storedTexts[storedVolume] = text + 7;
                double volume = 0.0;
                m_volumeUnread = !readMeasure(m_storedTexts[storedVolume], kVolumeUnits, volume, volumeUnit);
                setVolume(m_volumeUnread ? 0.0 : volume);
            } else if (startsWith(text, L"HANDLESTOMINUS=")) {
                CString value(text + 15);
                if (!value.IsEmpty()) fillHandles(m_handlesToMinus, value, database);
            } else if (startsWith(text, L"HANDLESTOADD=")) {
                CString value(text + 13);
                if (!value.IsEmpty()) fillHandles(m_handlesToAdd, value, database);
            }
        }
        m_perimeterAsWritten = asWritten(getPerimeter(), perimeterUnit, getUnits());
        m_heightAsWritten = asWritten(getRoomHeight(), heightUnit, getUnits());
        m_volumeAsWritten = asWritten(getVolume(), volumeUnit, getUnits());
        // A perimeter, height or volume written in the record's other units ("8.86ft." in a metric record)
        // is read in the units it names; in a record whose units are not known yet it is taken as held.
        if (perimeterUnit) setPerimeter(kelmo_model::lengthInUnits(getPerimeter(), perimeterUnit->units, getUnits()));
        if (heightUnit) setRoomHeight(kelmo_model::lengthInUnits(getRoomHeight(), heightUnit->units, getUnits()));
        if (volumeUnit) setVolume(kelmo_model::volumeInUnits(getVolume(), volumeUnit->units, getUnits()));
    KELMO_CATCH(L"CBlockDWG::readXData")
}

CString CBlockDWG::getPerimeterText() const {
    if (keepsUnreadPerimeter()) return m_storedTexts[storedPerimeter];
    return measureText(getPerimeter(), getKnownUnits(), getPrecision(), m_perimeterAsWritten,
                       kelmo_model::lengthInUnits, L"m.", L"ft.");
}

CString CBlockDWG::getRoomHeightText() const {
    if (m_heightUnread && getRoomHeight() == 0.0) return m_storedTexts[storedHeight];
    return measureText(getRoomHeight(), getKnownUnits(), getPrecision(), m_heightAsWritten, kelmo_model::lengthInUnits,
                       L"m.", L"ft.");
}

CString CBlockDWG::getVolumeText() const {
    if (m_volumeUnread && getVolume() == 0.0) return m_storedTexts[storedVolume];
    return measureText(getVolume(), getKnownUnits(), getPrecision(), m_volumeAsWritten, kelmo_model::volumeInUnits,
                       L"cu.m.", L"cu.ft.");
}

void CBlockDWG::nameUnreadValues() {
    if (m_unreadNamed) return;
    m_unreadNamed = true;
    const struct {
        bool unread;
        StoredValue stored;
        const wchar_t* kind;
        const wchar_t* value;
    } values[] = {{keepsUnreadArea(), storedArea, L"an area", L"area"},
                  {keepsUnreadPerimeter(), storedPerimeter, L"a perimeter", L"perimeter"},
                  {m_heightUnread, storedHeight, L"a height", L"room height"},
                  {m_volumeUnread, storedVolume, L"a volume", L"volume"}};
    for (const auto& v : values) {
        CString text = m_storedTexts[v.stored];
        if (!v.unread || CString(text).Trim().IsEmpty()) continue;
        keepStored(L"\"" + text + L"\" does not read as " + v.kind, v.value);
    }
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
        // A write that keeps the stored record leaves such a text as it is without a word.
        if (!m_keepsStoredRecord) nameUnreadValues();
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
    // An area written with more decimals than a record is written with stands while the space holds it.
    const bool areaAsStored =
        keepsUnreadArea() || (m_areaPastPrecision && getArea() == m_areaAsWritten.value &&
                              (m_areaAsWritten.units == -1 || getUnits() == m_areaAsWritten.units));
    CString texts[] = {
        L"AREA=" +
            (areaAsStored ? m_storedTexts[storedArea] : CUtilities::DoubleToCString(getArea(), precision) + areaUnit),
        L"PERIMETER=" + getPerimeterText(),
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
        // Only what the write makes anew is held to the limit: a string the record holds as read is
        // saved as it stands, whatever the release it was read in took for it.
        std::set<std::wstring> asRead;
        if (resbuf* stored = reference->xData(m_xDataAppName)) {
            for (resbuf* item = stored; item; item = item->rbnext)
                if (item->restype == 1000 && item->resval.rstring) asRead.insert(item->resval.rstring);
            acutRelRb(stored);
        }
        resbuf* head = recordData(reference);
        for (resbuf* item = head; item && what.IsEmpty(); item = item->rbnext) {
            if (item->restype != 1000 || !item->resval.rstring) continue;
            const int bytes = kelmo_model::storedStringBytes(item->resval.rstring);
            if (bytes <= kelmo_model::storedStringLimit || asRead.count(item->resval.rstring)) continue;
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
