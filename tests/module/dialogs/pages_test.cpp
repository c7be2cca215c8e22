// The block dialog's pages on a space block held in memory: what each page shows, what it reads back
// into the dialog's copy, the format page's checks, the extended-data page and the tab control.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/DialogDriver.h"
#include "dialogs/PresBlock.h"
#include "dialogs/TabData.h"
#include "dialogs/TabFormat.h"
#include "dialogs/TabXData.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/KelmoAttribute.h"
#include "support/EntryFixture.h"

namespace {

using classlib::DialogDriver;

void addAttribute(CAttributes* attributes, int swapType, const wchar_t* value) {
    auto* attribute = new CKelmoAttribute;
    attribute->setSwapType(swapType);
    attribute->setValue(value);
    attributes->add(attribute, 0);
}

// A space with NAME and AREA labels but no AUX label.
std::unique_ptr<CBlockDWG> space(int units, int precision, double area, double perimeter) {
    auto block = std::make_unique<CBlockDWG>();
    block->setHandle(CString(L"5F"));
    block->setUnits(units);
    block->setPrecision(precision);
    block->setArea(area);
    block->setPerimeter(perimeter);
    block->setName(L"Office 101");
    auto* attributes = new CAttributes;
    addAttribute(attributes, 0, L"Office 101");
    addAttribute(attributes, 1, L"50.00sq.m.");
    attributes->setHeight(250.0);
    attributes->setWidthFactor(0.8);
    attributes->setRotation(-90.0);
    block->setAttributes(attributes);
    return block;
}

class Pages : public kelmo_test::ModuleFixture {
protected:
    void TearDown() override {
        if (dialog) DialogDriver::escape(*dialog, true); // the dialog deletes itself
        ModuleFixture::TearDown();
    }
    CPresBlock* open(CBlockDWG* block) {
        dialog = new CPresBlock(nullptr);
        dialog->setBlock(block);
        EXPECT_TRUE(dialog->Create());
        dialog->ShowWindow(SW_SHOWNORMAL);
        return dialog;
    }
    std::wstring dump() const { return DialogDriver::dump(*dialog); }
    bool shows(const std::wstring& line) const { return dump().find(line) != std::wstring::npos; }
    void set(const wchar_t* control, const wchar_t* text) {
        EXPECT_TRUE(DialogDriver::setText(*dialog, control, text)) << control;
    }
    void click(const wchar_t* control) { EXPECT_TRUE(DialogDriver::click(*dialog, control)) << control; }
    // The copy as the dialog holds it now.
    std::unique_ptr<CBlockDWG> copy() {
        auto out = std::make_unique<CBlockDWG>();
        dialog->copyBlockBack(out.get());
        return out;
    }
    static CString label(CBlockDWG* block, int swapType) {
        CAttribute* attribute = block->getAttributes()->getAtAttribute(swapType);
        return attribute ? attribute->getValue() : CString(L"<none>");
    }
    CPresBlock* dialog = nullptr;
};

TEST_F(Pages, TheSpaceDataPageShowsTheBlockInItsUnits) {
    struct Case {
        int units;
        const wchar_t *area, *perimeter, *areaUnit, *lengthUnit;
    };
    const Case cases[] = {
        {0, L"219 edit \"12.5\"", L"218 edit \"14.0\"", L"313 static \"m\u00B2\"", L"336 static \"m\""},
        {1, L"219 edit \"12.5\"", L"218 edit \"14.0\"", L"313 static \"ft\u00B2\"", L"336 static \"ft\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        auto block = space(c.units, 1, 12.5, 14.0);
        open(block.get());
        for (const wchar_t* line :
             {c.area, c.perimeter, c.areaUnit, c.lengthUnit, L"203 edit \"Office 101\"", L"204 edit \"50.00sq.m.\"",
              L"205 edit \"\"", L"251 static \"5F\"", L"255 static \"0\""})
            EXPECT_TRUE(shows(line)) << line << "\n" << dump();
        DialogDriver::escape(*dialog);
        dialog = nullptr;
    }
}

TEST_F(Pages, TheCopyButtonsPutTheValueAndItsUnitIntoTheLabels) {
    struct Case {
        int units;
        const wchar_t *areaLabel, *auxLabel;
    };
    // Units 1 only are feet for the labels; any other flag labels in metres.
    const Case cases[] = {{0, L"12.5sq.m.", L"14.0m."}, {1, L"12.5sq.ft.", L"14.0ft."}, {-1, L"12.5sq.m.", L"14.0m."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        auto block = space(c.units, 1, 12.5, 14.0);
        open(block.get());
        click(L"208/252");
        click(L"208/253");
        ASSERT_TRUE(dialog->getDataPage()->applyChanges());
        auto result = copy();
        EXPECT_EQ(label(result.get(), 1), c.areaLabel);
        EXPECT_EQ(label(result.get(), 2), c.auxLabel);
        DialogDriver::escape(*dialog);
        dialog = nullptr;
    }
}

TEST_F(Pages, ApplyingTheSpaceDataPageWritesNameLabelsAndValuesAndAddsAMissingAuxLabel) {
    auto block = space(0, 2, 50.0, 30.0);
    open(block.get());
    set(L"208/203", L"Office 101A");
    set(L"208/204", L"49 sq m");
    set(L"208/205", L"north wing");
    set(L"208/219", L"4975");
    set(L"208/218", L"32");
    ASSERT_TRUE(dialog->getDataPage()->applyChanges());
    auto result = copy();
    EXPECT_EQ(result->getName(), L"Office 101A");
    EXPECT_EQ(label(result.get(), 0), L"Office 101A");
    EXPECT_EQ(label(result.get(), 1), L"49 sq m");
    EXPECT_EQ(label(result.get(), 2), L"north wing");
    EXPECT_EQ(result->getAttributes()->getAtAttribute(2)->getTag(), L"AUX");
    EXPECT_EQ(result->getArea(), 4975.0);
    EXPECT_EQ(result->getPerimeter(), 32.0);
    // The block the dialog was opened on is untouched.
    EXPECT_EQ(block->getName(), L"Office 101");
    EXPECT_EQ(block->getAttributes()->getAtAttribute(2), nullptr);
}

TEST_F(Pages, TheFormatPageTakesRotationsOfAWholeTurnEitherWayAndRefusesTheRest) {
    struct Case {
        const wchar_t* rotation;
        bool taken;
        double expected;
    };
    const Case cases[] = {
        {L"359", true, 359.0},  {L"360", true, 360.0},     {L"-90", true, -90.0},  {L"-360", true, -360.0},
        {L"361", false, -90.0}, {L"-360.5", false, -90.0}, {L"abc", false, -90.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - cases));
        auto block = space(0, 2, 50.0, 30.0);
        open(block.get());
        EXPECT_TRUE(shows(L"254 edit \"250\"") && shows(L"229 edit \"0.8\"") && shows(L"230 edit \"-90\"")) << dump();
        EXPECT_TRUE(DialogDriver::tab(*dialog, L"245", 1));
        set(L"207/254", L"300");
        set(L"207/229", L"1.25");
        set(L"207/230", c.rotation);
        const size_t boxes = host->messageBoxes().size();
        EXPECT_EQ(dialog->getFormatPage()->applyChanges(), c.taken ? TRUE : FALSE);
        auto result = copy();
        // A refused value leaves the whole attribute format as it was.
        EXPECT_EQ(result->getAttributes()->getRotation(), c.expected);
        EXPECT_EQ(result->getAttributes()->getHeight(), c.taken ? 300.0 : 250.0);
        EXPECT_EQ(result->getAttributes()->getWidthFactor(), c.taken ? 1.25 : 0.8);
        EXPECT_EQ(host->messageBoxes().size(), boxes + (c.taken ? 0 : 1));
        DialogDriver::escape(*dialog);
        dialog = nullptr;
    }
    EXPECT_EQ(host->messageBoxes()[0].text, L"Format page, Rotation: please enter a number between -360 and 360.");
}

TEST_F(Pages, ClickingTheFormatTabSwapsThePagesInTheSameRectangle) {
    auto block = space(0, 2, 50.0, 30.0);
    open(block.get());
    CRect data, format;
    dialog->getDataPage()->GetWindowRect(&data);
    dialog->getFormatPage()->GetWindowRect(&format);
    EXPECT_EQ(data, format);
    EXPECT_TRUE(shows(L"page 208 \"\" enabled visible") && shows(L"page 207 \"\" enabled hidden")) << dump();
    EXPECT_TRUE(DialogDriver::tab(*dialog, L"245", 1));
    EXPECT_TRUE(shows(L"page 208 \"\" enabled hidden") && shows(L"page 207 \"\" enabled visible")) << dump();
    // The current tab clicked again changes nothing.
    EXPECT_TRUE(DialogDriver::tab(*dialog, L"245", 1));
    EXPECT_TRUE(shows(L"page 207 \"\" enabled visible")) << dump();
    // A control of the hidden page is out of reach.
    EXPECT_FALSE(DialogDriver::setText(*dialog, L"208/203", L"x"));
}

TEST_F(Pages, TheExtendedDataPageShowsAndReadsBackTheNineFields) {
    auto block = space(0, 2, 50.0, 30.0);
    block->setAreaType(L"NIA");
    block->setCostCentre(L"CC-7");
    block->setDate(L"2024-01-02");
    block->setDateLastMove(L"<Not Set>");
    block->setDeptCharge(L"Finance");
    block->setSpecialReq(L"none");
    block->setTagType(L"Office");
    block->setTotStaff(L"4");
    block->setTotWkStns(L"5");
    CTabXData page(nullptr);
    ASSERT_TRUE(page.Create(CTabXData::IDD, AfxGetMainWnd()));
    page.initialiseData(block.get());
    EXPECT_EQ(page.getCostCentre(), L"CC-7");
    struct Field {
        const wchar_t* control;
        const wchar_t* text;
    };
    const Field fields[] = {{L"255", L"GIA"},          {L"256", L"CC-9"},  {L"257", L"2025-03-04"},
                            {L"258", L"2025-05"},      {L"259", L"Legal"}, {L"260", L"Meeting"},
                            {L"261", L"hearing loop"}, {L"262", L"6"},     {L"263", L"7"}};
    for (const Field& f : fields) {
        CString before;
        page.GetDlgItemText(std::stoi(f.control), before);
        EXPECT_FALSE(before.IsEmpty()) << f.control;
        page.SetDlgItemText(std::stoi(f.control), f.text);
    }
    ASSERT_TRUE(page.applyChanges(block.get()));
    EXPECT_EQ(block->getAreaType(), L"GIA");
    EXPECT_EQ(block->getCostCentre(), L"CC-9");
    EXPECT_EQ(block->getDate(), L"2025-03-04");
    EXPECT_EQ(block->getDateLastMove(), L"2025-05");
    EXPECT_EQ(block->getDeptCharge(), L"Legal");
    EXPECT_EQ(block->getTagType(), L"Meeting");
    EXPECT_EQ(block->getSpecialReq(), L"hearing loop");
    EXPECT_EQ(block->getTotStaff(), L"6");
    EXPECT_EQ(block->getTotWkStns(), L"7");
    page.DestroyWindow();
}

} // namespace
