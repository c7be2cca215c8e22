// The block dialog's write: what was edited here is taken onto the space as the drawing holds it
// now, so a change made elsewhere while the dialog was open (a rename at the command line, new
// links) is not written over with the dialog's old copy.
#include <algorithm>
#include <cmath>

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "dialogs/PresBlock.h"
#include "drawing/AcadDrawing.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/KelmoAttribute.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"PresBlock");

namespace {

enum Label { labelName = 0, labelArea = 1, labelAux = 2 };

// Whether an edit is taken: not made, made on a value the drawing still holds as it was opened (or
// holds as edited), or made on a value the drawing has changed to something else meanwhile.
enum class Take { keep, edit, conflict };

// `openedAsShown` is the opened value as its box showed it, which is what an untouched box gives back.
template <typename Value, typename Same>
Take decide(const Value& opened, const Value& openedAsShown, const Value& edited, const Value& now, Same same) {
    if (same(edited, openedAsShown)) return Take::keep;
    if (same(now, opened) || same(now, edited)) return Take::edit;
    return Take::conflict;
}

bool sameText(const CString& a, const CString& b) {
    return a == b;
}

// Numbers shown in a box and read back agree to nine digits.
bool sameNumber(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

CString labelOf(CBlockDWG* block, int role) {
    CAttributes* attributes = block->getAttributes();
    CAttribute* attribute = attributes ? attributes->getAtAttribute(role) : nullptr;
    return attribute ? attribute->getValue() : CString();
}

// The name a write stores: the NAME label's, or the record's own where there is no label.
CString storedName(CBlockDWG* block) {
    CAttributes* attributes = block->getAttributes();
    CAttribute* name = attributes ? attributes->getAtAttribute(labelName) : nullptr;
    return name ? name->getValue() : block->getName();
}

CAttributes* attributesOf(CBlockDWG* block) {
    if (!block->getAttributes()) block->setAttributes(new CAttributes);
    return block->getAttributes();
}

// As the data page gives a label its text: a plain attribute of the same tag takes it where held.
void setLabel(CBlockDWG* block, int role, const CString& text) {
    CAttributes* attributes = attributesOf(block);
    if (CAttribute* attribute = attributes->getAtAttribute(role)) {
        attribute->setValue(text);
        return;
    }
    auto* attribute = new CKelmoAttribute;
    attribute->setSwapType(role);
    attribute->setValue(text);
    const int before = attributes->getCount();
    if (attributes->add(attribute, 0) == before) {
        if (CAttribute* sameTag = attributes->getAtAttribute(attribute->getTag())) sameTag->setValue(text);
        delete attribute;
    }
}

double labelHeight(CBlockDWG* block) {
    return block->getAttributes() ? block->getAttributes()->getHeight() : 0.0;
}

double labelWidthFactor(CBlockDWG* block) {
    return block->getAttributes() ? block->getAttributes()->getWidthFactor() : 0.0;
}

double labelRotation(CBlockDWG* block) {
    return block->getAttributes() ? block->getAttributes()->getRotation() : 0.0;
}

} // namespace

CBlockDWG* CPresBlock::readCurrent() {
    AcDbEntity* entity = nullptr;
    const Acad::ErrorStatus status = acdbOpenAcDbEntity(entity, m_block->getObjectId(), AcDb::kForRead);
    if (status != Acad::eOk)
        throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CPresBlock::applyToBlock", 0,
                               m_drawing->getDrawingFilename(), nullptr);
    kelmo_model::OpenedObject opened(entity);
    AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
    if (!reference)
        throw new CEXUnhandled(Acad::eNotThatKindOfClass, KELMO_BANNER, kelmoSourceFile, L"CPresBlock::applyToBlock", 0,
                               m_drawing->getDrawingFilename(), nullptr);
    auto* current = new CBlockDWG(reference, m_drawing->getDocument());
    // In the units and precision the editor gave the dialog, converted as the editor converts.
    const int units = m_block->getUnits();
    if (current->getUnits() == 0 || current->getUnits() == 1)
        current->convertUnits(units);
    else
        current->setUnits(units);
    current->setPrecision(m_block->getPrecision());
    current->setUnreadNamed(m_block->getUnreadNamed());
    return current;
}

BOOL CPresBlock::takeEdits(CBlockDWG* current) {
    const int precision = m_block->getPrecision();
    auto shown = [precision](double value) {
        return CUtilities::CStringToDouble(CUtilities::DoubleToCString(value, precision));
    };
    // The name box shows the NAME label, and is empty for a space without one.
    const Take name =
        decide(storedName(m_opened), labelOf(m_opened, labelName), storedName(m_block), storedName(current), sameText);
    Take labels[3] = {name, Take::keep, Take::keep};
    for (int role : {labelArea, labelAux}) {
        const CString opened = labelOf(m_opened, role);
        labels[role] = decide(opened, opened, labelOf(m_block, role), labelOf(current, role), sameText);
    }
    const Take area =
        decide(m_opened->getArea(), shown(m_opened->getArea()), m_block->getArea(), current->getArea(), sameNumber);
    const Take perimeter = decide(m_opened->getPerimeter(), shown(m_opened->getPerimeter()), m_block->getPerimeter(),
                                  current->getPerimeter(), sameNumber);
    const CString openedMinus = m_opened->getHandlesToMinusAsString();
    const CString openedAdd = m_opened->getHandlesToAddAsString();
    const Take minus = decide(openedMinus, openedMinus, m_block->getHandlesToMinusAsString(),
                              current->getHandlesToMinusAsString(), sameText);
    const Take add =
        decide(openedAdd, openedAdd, m_block->getHandlesToAddAsString(), current->getHandlesToAddAsString(), sameText);
    double (*formats[3])(CBlockDWG*) = {labelHeight, labelWidthFactor, labelRotation};
    Take format[3];
    for (int i = 0; i < 3; ++i)
        format[i] =
            decide(formats[i](m_opened), formats[i](m_opened), formats[i](m_block), formats[i](current), sameNumber);

    const Take all[] = {labels[0], labels[1], labels[2], area, perimeter, minus, add, format[0], format[1], format[2]};
    if (std::find(std::begin(all), std::end(all), Take::conflict) != std::end(all)) return FALSE;

    if (name == Take::edit) {
        current->setName(m_block->getName());
        if (m_block->getAttributes() && m_block->getAttributes()->getAtAttribute(labelName))
            setLabel(current, labelName, labelOf(m_block, labelName));
    }
    for (int role : {labelArea, labelAux})
        if (labels[role] == Take::edit) setLabel(current, role, labelOf(m_block, role));
    if (area == Take::edit) current->setArea(m_block->getArea());
    if (perimeter == Take::edit) current->setPerimeter(m_block->getPerimeter());
    if (minus == Take::edit) current->setHandlesToMinus(m_block->getHandlesToMinusAsString(), m_drawing->getDatabase());
    if (add == Take::edit) current->setHandlesToAdd(m_block->getHandlesToAddAsString(), m_drawing->getDatabase());
    if (format[0] == Take::edit) attributesOf(current)->setHeight(labelHeight(m_block));
    if (format[1] == Take::edit) attributesOf(current)->setWidthFactor(labelWidthFactor(m_block));
    if (format[2] == Take::edit) attributesOf(current)->setRotation(labelRotation(m_block));
    return TRUE;
}

void CPresBlock::restartFrom(CBlockDWG* written) {
    auto* opened = new CBlockDWG;
    written->copyInto(opened);
    delete m_opened;
    m_opened = opened;
    auto* edited = new CBlockDWG;
    written->copyInto(edited);
    delete m_block;
    m_block = edited;
    initialisePages();
}
