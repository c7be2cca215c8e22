// The commands that walk every space block of the current drawing: bring areas, perimeters and
// labels up to date, list the spaces, show one space, and export them to a CSV file.
#include <algorithm>
#include <cwchar>
#include <limits>
#include <memory>
#include <string>

#include "cad/app/ApDocument.h"
#include "cad/editor/EdInput.h"
#include "classlib/Afx.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "commands/CommandSpaces.h"
#include "core/Catch.h"
#include "core/Failures.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "dialogs/TabFormat.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/ModelSupport.h"
#include "model/UnitChange.h"
#include "win/Files.h"
#include "win/Process.h"

KELMO_SOURCE_FILE(L"Brenvik");

namespace {

using kelmo::attributeArea;
using kelmo::attributeAux;
using kelmo::attributeName;
using kelmo::attributeOf;
using kelmo::gatherSpaces;
using kelmo::spaceAt;
using kelmo::writeBack;

// The same factors the space record converts its own values with.
using kelmo_model::feetPerMetre;
using kelmo_model::squareFeetPerSquareMetre;

// A handle as the decimal number it stands for, whole: the listing is sorted by that number, and a
// handle past 32 bits cut to an int would read as another, even a negative one.
CString decimalHandle(const CString& handle) {
    return std::to_wstring(AcDbHandle(static_cast<const wchar_t*>(handle)).value()).c_str();
}

CString attributeText(CBlockDWG* block, int swapType) {
    CAttribute* attribute = attributeOf(block, swapType);
    return attribute ? attribute->getValue() : CString();
}

void setAttributeText(CBlockDWG* block, int swapType, const CString& text) {
    CAttribute* attribute = attributeOf(block, swapType);
    if (attribute) attribute->setValue(text);
}

// The space's name as its extended data stores it; the block's own name when the data holds none.
CString storedName(CBlockDWG* block) {
    AcDbBlockReference* reference = nullptr;
    if (acdbOpenObject(reference, block->getObjectId(), AcDb::kForRead) != Acad::eOk) return block->getName();
    CString name;
    try {
        name = CBlocks().readNameFromXData(reference);
    } catch (...) {
        reference->close();
        throw;
    }
    reference->close();
    return name.IsEmpty() ? block->getName() : name;
}

void reportCrossing(CBlockDWG* block, const wchar_t* consequence) {
    acutPrintf(L"\tSpace %s (handle %s): the boundary crosses itself, so %s\n", static_cast<LPCWSTR>(block->getName()),
               static_cast<LPCWSTR>(block->CBlock::getHandle()), consequence);
}

// The collection has already told gross areas (by definition or stored name) from rooms.
bool isGrossArea(CBlockDWG* block) {
    return block->getBlockType() == CBlock::typeDWGFloor || block->getBlockType() == CBlock::typeDWGSite;
}

// An area or perimeter held in the block's units, shown in the given ones.
double areaIn(CBlockDWG* block, double area, int units) {
    const int own = block->getKnownUnits();
    if (own == units) return area;
    return units == 1 ? area * squareFeetPerSquareMetre : area / squareFeetPerSquareMetre;
}

double lengthIn(CBlockDWG* block, double length, int units) {
    const int own = block->getKnownUnits();
    if (own == units) return length;
    return units == 1 ? length * feetPerMetre : length / feetPerMetre;
}

const wchar_t* areaLabel(int units) {
    return units == 1 ? L"sq.ft." : L"sq.m.";
}

const wchar_t* lengthLabel(int units) {
    return units == 1 ? L"ft." : L"m.";
}

// ---------------------------------------------------------------------------------------------------------
// The CSV file

// A spreadsheet reads a name holding a separator, a quote or a line break only when it is quoted,
// and would run one that begins like a formula, also after tabs and line breaks it skips: that one is
// kept as text by a leading apostrophe.
CString csvField(const CString& text) {
    CString formula = text;
    formula.TrimLeft(L"\t\r\n");
    const CString field = !formula.IsEmpty() && wcschr(L"=+-@", formula[0]) ? L"'" + text : text;
    if (field.FindOneOf(L",\"\r\n") < 0) return field;
    CString quoted = field;
    quoted.Replace(L"\"", L"\"\"");
    return L"\"" + quoted + L"\"";
}

// Whether the file's 8-bit code page holds every character of the text: one it cannot is written "?".
bool csvCodePageHolds(const CString& text) {
    const std::string written = CUtilities::CStringToSTDString(text);
    const std::wstring wide(static_cast<const wchar_t*>(text));
    return std::count(written.begin(), written.end(), '?') == std::count(wide.begin(), wide.end(), L'?');
}

// Imperial is any units flag but 0, as the file has always said.
bool csvImperial(int units) {
    return units != 0;
}

const wchar_t* csvAreaUnit(bool imperial) {
    return imperial ? L"ft\u00B2" : L"m\u00B2";
}

const wchar_t* csvLengthUnit(bool imperial) {
    return imperial ? L"ft" : L"m";
}

CString csvRow(const CString& name, double area, const CString& areaUnit, double perimeter, const CString& lengthUnit,
               int precision) {
    return name + L"," + CUtilities::DoubleToCString(area, precision) + L"," + areaUnit + L"," +
           CUtilities::DoubleToCString(perimeter, precision) + L"," + lengthUnit + L"\n";
}

// A space's row: a stored area or perimeter that reads as no number stands in its cell as stored, its
// unit with it, so the units cell beside it is empty; the command line names the space for each.
CString csvSpaceRow(CBlockDWG* block, const CString& areaUnit, const CString& lengthUnit, int precision) {
    const struct {
        bool kept;
        CBlockDWG::StoredValue stored;
        double value;
        const CString& unit;
        const wchar_t* kind;
    } values[] = {
        {block->keepsUnreadArea(), CBlockDWG::storedArea, block->getArea(), areaUnit, L"an area"},
        {block->keepsUnreadPerimeter(), CBlockDWG::storedPerimeter, block->getPerimeter(), lengthUnit, L"a perimeter"}};
    CString row = csvField(block->getName());
    for (const auto& v : values) {
        if (!v.kept) {
            row += L"," + CUtilities::DoubleToCString(v.value, precision) + L"," + v.unit;
            continue;
        }
        const CString stored = block->getStoredText(v.stored);
        row += L"," + csvField(stored) + L",";
        acutPrintf(
            L"\tSpace %s (handle %s): \"%s\" does not read as %s, so the CSV file holds it as stored, out of "
            L"the total\n",
            static_cast<LPCWSTR>(block->getName()), static_cast<LPCWSTR>(block->CBlock::getHandle()),
            static_cast<LPCWSTR>(stored), v.kind);
    }
    return row + L"\n";
}

// The drawing's name with its extension swapped; empty when the drawing has no name to swap.
CString csvPathOf(const CString& drawingFile) {
    if (drawingFile.GetLength() <= 4) return CString();
    return drawingFile.Left(drawingFile.GetLength() - 4) + L".csv";
}

// Writes the text to the file through the staged temporary every writer uses, which takes the file's name
// only once it is whole: a full disk leaves the file as it was, or none; nothing standing at a name of its
// own is written through. Why it could not be written; empty when it was.
CString writeThroughTemporary(const CString& path, const CString& text) {
    // A read-only file, a folder, a device or a pipe under the name stays, as does an open drawing's
    // file; the reason names which.
    if (const CString refused = CFileUtilities::writeRefusal(path); !refused.IsEmpty()) return refused;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return CAcadDrawing::windowsErrorText(ERROR_ACCESS_DENIED);
    win::StagedFile staged(path);
    if (!staged.made()) return staged.why().c_str();
    CStdioFile file;
    CFileException failure;
    if (!file.Open(staged.path().c_str(), CFile::modeWrite | CFile::typeText, &failure))
        return CAcadDrawing::windowsErrorText(failure.m_lOsError);
    try {
        file.WriteString(text);
        file.Close();
    } catch (CFileException* error) {
        const CString reason = CAcadDrawing::windowsErrorText(error->m_lOsError);
        error->Delete();
        file.Abort();
        return reason;
    }
    if (!staged.place()) return staged.why().c_str();
    return CString();
}

void startCsvOpener(const CString& opener, const CString& csvPath) {
    CString commandLine = L"\"" + opener + L"\" \"" + csvPath + L"\"";
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    std::wstring buffer(static_cast<const wchar_t*>(commandLine));
    // The program is left running; one that cannot be started is named, or the file would seem opened.
    if (CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, g_hostDirectory,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return;
    }
    const DWORD error = GetLastError();
    acutPrintf(L"The csv file cannot be opened with %s - %s\n", static_cast<const wchar_t*>(opener),
               static_cast<const wchar_t*>(CAcadDrawing::windowsErrorText(error)));
}

// ---------------------------------------------------------------------------------------------------------
// Text size, scale and rotation

// The labels' values the block dialog's Format page takes, so that it can edit what this writes.
struct TextValueQuestion {
    const wchar_t* name;
    const wchar_t* prompt;
    const wchar_t* invalid;
    const wchar_t* outOfRange;
    double lowest;
    bool lowestTaken; // false: only numbers above lowest
    double highest;
};

enum class Answer { taken, ignored, cancelled };

// Asks until a number, "i" or a cancel comes. A comma is no decimal point here: "2,5" is asked again.
// Enter takes the preference itself, not its rounded text; one the labels cannot take is said once.
Answer askTextValue(const TextValueQuestion& question, double preference, int precision, double& value) {
    CAcadUtilities utilities;
    CString prompt = question.prompt;
    const CString shown = CUtilities::DoubleToCString(preference, precision);
    bool storedRefused = false;
    for (;;) {
        CString answer;
        if (!utilities.getString(prompt, shown, answer)) return Answer::cancelled;
        if (answer == L"i") return Answer::ignored;
        if (!CUtilities::isNumeric(answer) || answer.Find(L',') >= 0) {
            ed::input().tellRefusal(L"it is no number");
            prompt = question.invalid;
            continue;
        }
        const bool stored = answer == shown;
        double number = stored ? preference : CUtilities::CStringToDouble(answer);
        const bool aboveLowest = question.lowestTaken ? number >= question.lowest : number > question.lowest;
        if (!aboveLowest || !(number <= question.highest)) {
            if (stored && !storedRefused)
                acutPrintf(L"\n%s in the preferences, %s, is not one a label takes\n", question.name,
                           static_cast<const wchar_t*>(CUtilities::DoubleToCString(preference, -1)));
            storedRefused = storedRefused || stored;
            if (!stored) ed::input().tellRefusal(L"it is out of range");
            prompt = question.outOfRange;
            continue;
        }
        value = number;
        return Answer::taken;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Listing

// A stored value as the listing shows it; one that reads as no number is shown as stored, never as 0.
CString detail(double value, bool unread, const CBlockDWG* block, CBlockDWG::StoredValue stored) {
    if (unread) return L"\"" + block->getStoredText(stored) + L"\" as stored, no number";
    CString text;
    text.Format(L"%f", value);
    return text;
}

void printSpaceDetails(CBlockDWG* block) {
    acutPrintf(L"\n");
    acutPrintf(L"Block Identifier %s\n", static_cast<const wchar_t*>(block->getBlockIdentifier()));
    acutPrintf(L"Handle\t\t\t %s\n", static_cast<const wchar_t*>(block->CBlock::getHandle()));
    if (CAttributes* attributes = block->getAttributes()) {
        acutPrintf(L"Attributes\n");
        if (CAttribute* name = attributes->getAtAttribute(attributeName))
            acutPrintf(L"\tName '%s'\n", static_cast<const wchar_t*>(name->getValue()));
        if (CAttribute* area = attributes->getAtAttribute(attributeArea))
            acutPrintf(L"\tArea '%s'\n", static_cast<const wchar_t*>(area->getValue()));
        if (CAttribute* aux = attributes->getAtAttribute(attributeAux))
            acutPrintf(L"\t Aux '%s'\n", static_cast<const wchar_t*>(aux->getValue()));
        acutPrintf(L"\n");
    }
    acutPrintf(L"XDATA\n");
    acutPrintf(L"\t Area           %s\n",
               static_cast<LPCWSTR>(detail(block->getArea(), block->keepsUnreadArea(), block, CBlockDWG::storedArea)));
    acutPrintf(L"\t Perimeter      %s\n",
               static_cast<LPCWSTR>(
                   detail(block->getPerimeter(), block->keepsUnreadPerimeter(), block, CBlockDWG::storedPerimeter)));
    acutPrintf(L"\t Tag Type       %s\n", static_cast<const wchar_t*>(block->getTagType()));
    acutPrintf(L"\t Area Type      %s\n", static_cast<const wchar_t*>(block->getAreaType()));
    acutPrintf(L"\t Cost Centre    %s\n", static_cast<const wchar_t*>(block->getCostCentre()));
    acutPrintf(L"\t Date           %s\n", static_cast<const wchar_t*>(block->getDate()));
    acutPrintf(L"\t Date Last Move %s\n", static_cast<const wchar_t*>(block->getDateLastMove()));
    acutPrintf(L"\t Dept Charge    %s\n", static_cast<const wchar_t*>(block->getDeptCharge()));
    acutPrintf(L"\t Room Height    %s\n",
               static_cast<LPCWSTR>(
                   detail(block->getRoomHeight(), block->keepsUnreadHeight(), block, CBlockDWG::storedHeight)));
    acutPrintf(L"\t Special Req    %s\n", static_cast<const wchar_t*>(block->getSpecialReq()));
    acutPrintf(L"\t Tot Staff      %s\n", static_cast<const wchar_t*>(block->getTotStaff()));
    acutPrintf(L"\t Tot Wk Stns    %s\n", static_cast<const wchar_t*>(block->getTotWkStns()));
    acutPrintf(L"\t Vloume         %s\n", static_cast<LPCWSTR>(detail(block->getVolume(), block->keepsUnreadVolume(),
                                                                      block, CBlockDWG::storedVolume)));
    acutPrintf(L"\n\n");
}

} // namespace

// ---------------------------------------------------------------------------------------------------------

void createRoomAreaCSV() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Block Details");
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        const CString csvPath = csvPathOf(drawing->getDrawingFilename());
        const int precision = preferences->getPrecision();
        const bool preferenceImperial = csvImperial(preferences->getUnits());

        std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing.get(), 0);
        blocks->sortBlocksByHandle(1);

        CString rows;
        CString grossAreaRows;
        CString areaUnit;
        CString lengthUnit;
        // The sums in each block's own units, and in the preference units for a drawing that mixes them.
        double areaSum = 0.0;
        double perimeterSum = 0.0;
        double convertedAreaSum = 0.0;
        double convertedPerimeterSum = 0.0;
        int summed = 0;
        bool summedImperial = false;
        bool mixedUnits = false;
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = spaceAt(*blocks, i);
            if (!block) continue;
            const CString identifier = block->getBlockIdentifier();
            if (identifier.Left(5) != L"ROOM-") continue;
            if (block->boundaryCrossesItself()) reportCrossing(block, L"its stored area is not a measured one");
            if (!csvCodePageHolds(block->getName()))
                acutPrintf(
                    L"\tSpace %s (handle %s): the CSV file's code page cannot hold every character of the "
                    L"name, so those are written as \"?\"\n",
                    static_cast<LPCWSTR>(block->getName()), static_cast<LPCWSTR>(block->CBlock::getHandle()));
            const bool imperial = csvImperial(block->getKnownUnits());
            areaUnit = csvAreaUnit(imperial);
            lengthUnit = csvLengthUnit(imperial);
            const CString row = csvSpaceRow(block, areaUnit, lengthUnit, precision);
            if (isGrossArea(block)) {
                grossAreaRows += row;
                continue;
            }
            rows += row;
            // A value kept as stored (0 here) adds nothing to the total.
            double area = block->getArea();
            double perimeter = block->getPerimeter();
            areaSum += area;
            perimeterSum += perimeter;
            if (imperial && !preferenceImperial) {
                area /= squareFeetPerSquareMetre;
                perimeter /= feetPerMetre;
            } else if (!imperial && preferenceImperial) {
                area *= squareFeetPerSquareMetre;
                perimeter *= feetPerMetre;
            }
            convertedAreaSum += area;
            convertedPerimeterSum += perimeter;
            if (summed > 0 && imperial != summedImperial) mixedUnits = true;
            summedImperial = imperial;
            ++summed;
        }
        CString totalAreaUnit = areaUnit;
        CString totalLengthUnit = lengthUnit;
        if (mixedUnits) {
            areaSum = convertedAreaSum;
            perimeterSum = convertedPerimeterSum;
            totalAreaUnit = csvAreaUnit(preferenceImperial);
            totalLengthUnit = csvLengthUnit(preferenceImperial);
        } else if (summed > 0) {
            // A gross area in other units after the last room must not relabel the rooms' sums.
            totalAreaUnit = csvAreaUnit(summedImperial);
            totalLengthUnit = csvLengthUnit(summedImperial);
        }
        const CString text = L"Code,Area,Units,Perimeter,Units\n" + rows +
                             csvRow(L"Total", areaSum, totalAreaUnit, perimeterSum, totalLengthUnit, precision) +
                             L"\n\n" + grossAreaRows;

        const CString reason =
            csvPath.IsEmpty() ? CString(L"the drawing has no file name") : writeThroughTemporary(csvPath, text);
        if (!reason.IsEmpty()) {
            const CString shown = csvPath.IsEmpty() ? drawing->getDrawingFilename() : csvPath;
            kelmo::sayFailed(L"Unable to save csv data to file (" + shown + L") - " + reason + L"\n");
            return;
        }
        acutPrintf(L"csv data successfully saved to file (%s)\n", static_cast<const wchar_t*>(csvPath));

        CString opener = preferences->getCsvOpener();
        if (opener == L"NONE") return;
        while (opener.IsEmpty()) {
            BOOL cancelled = FALSE;
            opener = CAcadUtilities().getString(
                L"Please enter the path of the application you wish to open csv files with\n", &cancelled);
            // Escape, or a script that has run out, leaves the file unopened.
            if (cancelled) return;
        }
        startCsvOpener(opener, csvPath);
    KELMO_CATCH_REPORT(L"createRoomAreaCSV", kelmo::catchClassLib)
}

void updateSpaces() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Update Spaces");
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing.get(), 0);
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        const int precision = preferences->getPrecision();
        const int units = preferences->getUnits();
        AcApDocument* document = drawing->getDocument();
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = spaceAt(*blocks, i);
            if (!block) continue;
            // A label still showing the stored value, as it was written, follows the new value; any
            // other text was typed by someone and stays.
            const CString oldArea = CUtilities::DoubleToCString(block->getArea(), block->getPrecision()) +
                                    areaLabel(block->getKnownUnits());
            const CString oldPerimeter = CUtilities::DoubleToCString(block->getPerimeter(), block->getPrecision()) +
                                         lengthLabel(block->getKnownUnits());
            const kelmo_model::HeightAndVolumeTexts oldHeightAndVolume = kelmo_model::heightAndVolumeTexts(block);
            const CString areaText = attributeText(block, attributeArea);
            const CString auxText = attributeText(block, attributeAux);
            // Values the boundary cannot give again stay as stored, in the new units; room height and
            // volume are not measured: converted, they keep their meaning.
            block->convertUnits(units);
            block->setPrecision(precision);
            block->recalculateArea(document);
            kelmo_model::followHeightAndVolume(block, oldHeightAndVolume);
            if (kelmo_model::showsStored(areaText, oldArea, block, CBlockDWG::storedArea))
                setAttributeText(block, attributeArea,
                                 CUtilities::DoubleToCString(block->getArea(), precision) + areaLabel(units));
            block->recalculatePerimeter(document);
            if (kelmo_model::showsStored(auxText, oldPerimeter, block, CBlockDWG::storedPerimeter))
                setAttributeText(block, attributeAux,
                                 CUtilities::DoubleToCString(block->getPerimeter(), precision) + lengthLabel(units));
            writeBack(drawing.get(), block);
        }
    KELMO_CATCH_REPORT(L"updateSpaces", kelmo::catchClassLib)
}

void updateTextSize() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Update Text Size");
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing.get(), 0);
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        const int precision = preferences->getPrecision();

        static const TextValueQuestion sizeQuestion = {
            L"The Text Size",
            L"Enter new Text Size or (i)gnore",
            L"Invalid Input. Enter new Text Siz or (i)gnore",
            L"Text Size must be greater than 0 and no more than 1000000\nEnter new Text Size or (i)gnore",
            0.0,
            false,
            CTabFormat::heightMax};
        static const TextValueQuestion scaleQuestion = {
            L"The Text Scale",
            L"Enter new Text Scale or (i)gnore",
            L"Invalid Input. Enter new Text Scale or (i)gnore",
            L"Text Scale must be between 0.01 and 100\nEnter new Text Scale or (i)gnore",
            CTabFormat::widthFactorMin,
            true,
            CTabFormat::widthFactorMax};
        // Any number turns a label: 400 degrees is 40.
        static const TextValueQuestion rotationQuestion = {L"The Text Rotation",
                                                           L"Enter new Text Rotation or (i)gnore",
                                                           L"Invalid Input. Enter new Text Rotation or (i)gnore",
                                                           L"Invalid Input. Enter new Text Rotation or (i)gnore",
                                                           std::numeric_limits<double>::lowest(),
                                                           true,
                                                           std::numeric_limits<double>::max()};

        // Every question is answered before any block changes; a cancel changes nothing.
        double size = 0.0;
        double scale = 0.0;
        double rotation = 0.0;
        const Answer sizeAnswer = askTextValue(sizeQuestion, preferences->getTextSize(), precision, size);
        if (sizeAnswer == Answer::cancelled) return;
        const Answer scaleAnswer = askTextValue(scaleQuestion, preferences->getTextScale(), precision, scale);
        if (scaleAnswer == Answer::cancelled) return;
        const Answer rotationAnswer =
            askTextValue(rotationQuestion, preferences->getTextRotation(), precision, rotation);
        if (rotationAnswer == Answer::cancelled) return;

        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = spaceAt(*blocks, i);
            if (!block) continue;
            if (CAttributes* attributes = block->getAttributes()) {
                if (sizeAnswer == Answer::taken) attributes->setHeight(size);
                if (scaleAnswer == Answer::taken) attributes->setWidthFactor(scale);
                if (rotationAnswer == Answer::taken) attributes->setRotation(rotation);
            }
            kelmo::writeBackKeepingRecord(drawing.get(), block);
        }
    KELMO_CATCH_REPORT(L"updateTextSize", kelmo::catchClassLib)
}

void kelmoRefreshTags() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        if (drawing->lock() != Acad::eOk) return;
        kelmo_model::HeldLock held(drawing.get());
        std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing.get(), 0);
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, drawing->getDatabase());
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = spaceAt(*blocks, i);
            if (block) block->updateAttributes(AcGeMatrix3d(ucs), nullptr);
        }
    KELMO_CATCH_REPORT(L"kelmoRefreshTags", kelmo::catchClassLib)
}

void syncXDataToAttributes() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Update Spaces");
        CAcadUtilities utilities;
        BOOL syncName = TRUE;
        BOOL syncArea = TRUE;
        BOOL syncPerimeter = FALSE;
        BOOL recalculate = FALSE;
        utilities.getBoolean(L"Sync XData name to name attribute?", TRUE, syncName);
        utilities.getBoolean(L"Sync XData area to area attribute?", TRUE, syncArea);
        utilities.getBoolean(L"Sync XData perimeter to aux attribute?", FALSE, syncPerimeter);
        utilities.getBoolean(L"Recalculate values before sync?", FALSE, recalculate);

        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing.get(), 0);
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        const int precision = preferences->getPrecision();
        const int units = preferences->getUnits();
        AcApDocument* document = drawing->getDocument();
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = spaceAt(*blocks, i);
            if (!block) continue;
            if (recalculate) {
                block->setPrecision(precision);
                // Room height and volume are not measured: converted, they keep their meaning.
                block->convertUnits(units);
                block->recalculateArea(document);
                block->recalculatePerimeter(document);
            }
            // The label takes the stored name, which the write-back then stores again.
            if (syncName) setAttributeText(block, attributeName, storedName(block));
            // The stored values stay as they are; a label in the preference units shows them converted,
            // so that number and unit agree.
            if (syncArea && !block->keepsUnreadArea())
                setAttributeText(block, attributeArea,
                                 CUtilities::DoubleToCString(areaIn(block, block->getArea(), units), precision) +
                                     (units != 0 ? L"sq.ft." : L"sq.m."));
            if (syncPerimeter && !block->keepsUnreadPerimeter())
                setAttributeText(block, attributeAux,
                                 CUtilities::DoubleToCString(lengthIn(block, block->getPerimeter(), units), precision) +
                                     (units != 0 ? L"ft." : L"m."));
            writeBack(drawing.get(), block);
        }
    KELMO_CATCH_REPORT(L"syncXDataToAttributes", kelmo::catchClassLib)
}

void listBlockNameIdentifier() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        CAcadUtilities utilities;
        BOOL ascending = TRUE;
        BOOL listAssets = FALSE;
        utilities.getBoolean(L"sort by handle in ascending order", TRUE, ascending);
        utilities.getBoolean(L"list assets", FALSE, listAssets);
        std::unique_ptr<CBlocks> blocks = gatherSpaces(drawing.get(), 1);
        blocks->sortBlocksByHandle(ascending ? 1 : 0);

        acutPrintf(L"\n\n");
        acutPrintf(L"ID,Name,Area,Handle(hex),Handle(dec),Assets\n");
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = spaceAt(*blocks, i);
            if (!block) continue;
            const CString handle = block->CBlock::getHandle();
            CAssets* assets = block->getAssets();
            acutPrintf(L"%s,%s,%s,%s,%s,%i\n", static_cast<const wchar_t*>(block->getBlockIdentifier()),
                       static_cast<const wchar_t*>(storedName(block)),
                       static_cast<const wchar_t*>(block->keepsUnreadArea()
                                                       ? L"\"" + block->getStoredText(CBlockDWG::storedArea) + L"\""
                                                       : CUtilities::DoubleToCString(block->getArea(), 2)),
                       static_cast<const wchar_t*>(handle), static_cast<const wchar_t*>(decimalHandle(handle)),
                       assets ? assets->getCount() : 0);
            if (!listAssets || !assets) continue;
            for (int j = 0; j < assets->getCount(); ++j) {
                CAsset* asset = assets->getAt(j);
                const CString assetHandle = asset->getHandleAsString();
                CAttributes* attributes = asset->getAttributes();
                acutPrintf(L",,,,,,%s,%s,%s,%i\n", static_cast<const wchar_t*>(asset->getBlockIdentifier()),
                           static_cast<const wchar_t*>(assetHandle),
                           static_cast<const wchar_t*>(decimalHandle(assetHandle)),
                           attributes ? attributes->getCount() : 0);
            }
        }
    KELMO_CATCH_REPORT(L"listBlockNameIdentifier", kelmo::catchClassLib)
}

void displaySpaceDetails() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        kelmo::eachPickedSpace(drawing.get(), printSpaceDetails);
    KELMO_CATCH_REPORT(L"displaySpaceDetails", kelmo::catchClassLib)
}
