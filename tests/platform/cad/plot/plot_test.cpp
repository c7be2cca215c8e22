#include "cad/db/AcDbHatch.h"
#include "cad/app/HostApplicationServices.h"
#include "cad/plot/PlotEngine.h"
#include "support/HostFixture.h"
#include "win/Encoding.h"
#include "win/Paths.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>

using kelmo_test::HostFixture;

namespace {

std::string head(const std::filesystem::path& p, size_t n) {
    std::ifstream in(p, std::ios::binary);
    std::string s(n, '\0');
    in.read(s.data(), std::streamsize(n));
    s.resize(size_t(in.gcount()));
    return s;
}

// A plot of the fixture's 0..100 square read back: whether any pixel in a box of drawing units is dark.
struct PlotImage {
    cairo_surface_t* s = nullptr;
    explicit PlotImage(const std::filesystem::path& png) { s = cairo_image_surface_create_from_png(png.c_str()); }
    ~PlotImage() { cairo_surface_destroy(s); }
    bool ok() const { return cairo_surface_status(s) == CAIRO_STATUS_SUCCESS; }
    bool dark(double x0, double x1, double y0, double y1) const {
        int w = cairo_image_surface_get_width(s), hgt = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        // The frame with its width, 104 units, over 94% of the height, centred.
        double scale = hgt * 0.94 / 104.0;
        for (int y = int(hgt / 2 - (y1 - 50) * scale); y <= int(hgt / 2 - (y0 - 50) * scale); ++y)
            for (int x = int(w / 2 + (x0 - 50) * scale); x <= int(w / 2 + (x1 - 50) * scale); ++x) {
                uint32_t p = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF;
                if ((p & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80) return true;
            }
        return false;
    }
};

class Plotting : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        // A thick red square frame, a circle and a text.
        AcDbObjectId frame = host->addRectangle(0, 0, 100, 100);
        acDocManager->lockDocument(doc());
        AcDbPolyline* p = nullptr;
        acdbOpenObject(p, frame, AcDb::kForWrite);
        p->setConstantWidth(4);
        p->setColorIndex(1);
        p->close();
        acDocManager->unlockDocument(doc());
        host->addEntity(new AcDbCircle(AcGePoint3d(50, 50, 0), AcGeVector3d(0, 0, 1), 20));
        auto* t = new AcDbText(AcGePoint3d(10, 80, 0), L"Office 1", AcDbObjectId(), 5);
        host->addEntity(t);
    }
    std::wstring windowsPath(const std::string& name) {
        return win::nativeToWindows((host->tempDir() / name).string());
    }
};

TEST_F(Plotting, PlotsTheLayoutToPngPdfAndJpeg) {
    std::wstring why;
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("plan.png"), why), Acad::eOk) << win::toUtf8(why);
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("plan.pdf"), why), Acad::eOk) << win::toUtf8(why);
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("plan.jpg"), why), Acad::eOk) << win::toUtf8(why);
    EXPECT_EQ(head(host->tempDir() / "plan.png", 4), "\x89PNG");
    EXPECT_EQ(head(host->tempDir() / "plan.pdf", 5), "%PDF-");
    EXPECT_EQ(head(host->tempDir() / "plan.jpg", 3), "\xFF\xD8\xFF");
    // The frame is drawn in red on white: the centre of the page is white, the frame's left edge red.
    cairo_surface_t* s = cairo_image_surface_create_from_png((host->tempDir() / "plan.png").c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    int w = cairo_image_surface_get_width(s), hgt = cairo_image_surface_get_height(s);
    EXPECT_GT(w, hgt); // A3 landscape
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    auto pixel = [&](int x, int y) { return *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF; };
    EXPECT_EQ(pixel(w / 2, hgt / 2 - hgt / 4), 0xFFFFFFu);
    // The drawing (100 units, 104 with the frame's width) fills 94% of the height, centred:
    // the frame's left edge is about 50 units left of the centre, 4 units wide.
    double scale = hgt * 0.94 / 102.0;
    int left = int(w / 2 - 50 * scale);
    EXPECT_EQ(pixel(left, hgt / 2), 0xFF0000u);
    cairo_surface_destroy(s);
}

TEST_F(Plotting, LayersThatAreOffFrozenOrNotPlottableAreLeftOut) {
    host->addLayer(L"OFF");
    host->addRectangle(10, 10, 20, 20, L"OFF");
    plot::Request r;
    r.db = db();
    r.nativePath = (host->tempDir() / "a.png").string();
    std::wstring why;
    int drawn = 0;
    ASSERT_TRUE(plot::render(r, why, &drawn));
    EXPECT_EQ(drawn, 4);
    acDocManager->lockDocument(doc());
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, db()->layerId(L"OFF"), AcDb::kForWrite), Acad::eOk);
    layer->setIsPlottable(false);
    layer->close();
    acDocManager->unlockDocument(doc());
    ASSERT_TRUE(plot::render(r, why, &drawn));
    EXPECT_EQ(drawn, 3);
}

TEST_F(Plotting, AlignedAndFittedTextRunsBetweenItsTwoPoints) {
    // Below the circle, from x 10 to x 90 along y 8: one aligned, one fitted a little higher.
    for (auto [mode, y] : {std::pair{AcDb::kTextAlign, 8.0}, std::pair{AcDb::kTextFit, 22.0}}) {
        auto* t = new AcDbText(AcGePoint3d(10, y, 0), L"ABCDEFGH", AcDbObjectId(), 4);
        t->setHorizontalMode(mode);
        t->setAlignmentPoint(AcGePoint3d(90, y, 0));
        host->addEntity(t);
    }
    std::wstring why;
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("text.png"), why), Acad::eOk) << win::toUtf8(why);
    PlotImage png(host->tempDir() / "text.png");
    ASSERT_TRUE(png.ok());
    auto dark = [&](double x0, double x1, double y0, double y1) { return png.dark(x0, x1, y0, y1); };
    EXPECT_TRUE(dark(12, 30, 8.5, 12));  // aligned text starts at its first point
    EXPECT_FALSE(dark(92, 96, 8.5, 12)); // and ends at its second
    EXPECT_TRUE(dark(12, 30, 22.5, 25)); // fitted text likewise, at its own height
    EXPECT_FALSE(dark(92, 96, 22.5, 25));
    EXPECT_FALSE(dark(12, 40, 27, 29.5)); // fitted text keeps its height of 4
}

TEST_F(Plotting, ParagraphTextWrapsAtItsWidthAndSitsOnItsAttachmentPoint) {
    // A long paragraph, 30 units wide, from the top left at (60, 95): one line would leave the frame.
    auto* wrapped = new AcDbMText();
    wrapped->setLocation(AcGePoint3d(60, 95, 0));
    wrapped->setTextHeight(2);
    wrapped->setWidth(30);
    wrapped->setContents(L"AAAA BBBB CCCC DDDD EEEE FFFF GGGG");
    host->addEntity(wrapped);
    // A word centred on (50, 10), below the circle.
    auto* centred = new AcDbMText();
    centred->setLocation(AcGePoint3d(50, 10, 0));
    centred->setTextHeight(3);
    centred->setAttachment(AcDbMText::kMiddleCenter);
    centred->setContents(L"CENTRE");
    host->addEntity(centred);
    std::wstring why;
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("mtext.png"), why), Acad::eOk) << win::toUtf8(why);
    PlotImage png(host->tempDir() / "mtext.png");
    ASSERT_TRUE(png.ok());
    EXPECT_TRUE(png.dark(61, 80, 93.3, 94.7)); // the first line
    EXPECT_TRUE(png.dark(61, 80, 90, 91.3));   // the words wrapped onto the second
    EXPECT_FALSE(png.dark(92, 96.5, 80, 95));  // nothing runs past the width towards the frame
    EXPECT_TRUE(png.dark(42, 48, 9, 11));      // left of the point, as centred text is
    EXPECT_FALSE(png.dark(42, 58, 6, 7.8));    // and not hanging below a top-left corner
}

// A multiple insert of a 2 by 2 square, scaled by 2, in columns and rows `spacing` apart.
AcDbObjectId squareGrid(kelmo_test::TestHost& host, const wchar_t* name, AcGePoint3d at, int columns, int rows,
                        double spacing, double rotation = 0) {
    auto* square = new AcDbPolyline();
    for (auto [x, y] : {std::pair{0.0, 0.0}, {2.0, 0.0}, {2.0, 2.0}, {0.0, 2.0}})
        square->addVertexAt(square->numVerts(), AcGePoint2d(x, y));
    square->setClosed(true);
    AcDbObjectId block = host.defineBlock(name, {square});
    auto* grid = new AcDbMInsertBlock(at, block, Adesk::UInt16(columns), Adesk::UInt16(rows), spacing, spacing);
    grid->setScaleFactors(AcGeScale3d(2));
    grid->setRotation(rotation);
    return host.addEntity(grid);
}

// The extents of an entity, opened for read.
AcDbExtents extentsOf(AcDbObjectId id) {
    AcDbExtents ext;
    AcDbEntity* e = nullptr;
    if (acdbOpenObject(e, id, AcDb::kForRead) != Acad::eOk) return ext;
    e->getGeomExtents(ext);
    e->close();
    return ext;
}

TEST_F(Plotting, AMultipleInsertsExtentsComeFromOneCellAndTheGrid) {
    // 30000 by 30000 cells: taken cell by cell, every zoom and plot of the extents hung.
    AcDbExtents ext = extentsOf(squareGrid(*host, L"CELL", AcGePoint3d(10, 20, 0), 30000, 30000, 3));
    ASSERT_FALSE(ext.isEmpty());
    // The cells step 3 apart, unscaled; each is 4 wide.
    EXPECT_NEAR(ext.minPoint().x, 10, 1e-9);
    EXPECT_NEAR(ext.minPoint().y, 20, 1e-9);
    EXPECT_NEAR(ext.maxPoint().x, 10 + 29999 * 3 + 4, 1e-6);
    EXPECT_NEAR(ext.maxPoint().y, 20 + 29999 * 3 + 4, 1e-6);
    // Turned a quarter: the columns run up, the rows to the left.
    ext = extentsOf(squareGrid(*host, L"TURNED", AcGePoint3d(0, 0, 0), 3, 2, 10, 3.14159265358979323846 / 2));
    EXPECT_NEAR(ext.minPoint().x, -14, 1e-9);
    EXPECT_NEAR(ext.maxPoint().x, 0, 1e-9);
    EXPECT_NEAR(ext.minPoint().y, 0, 1e-9);
    EXPECT_NEAR(ext.maxPoint().y, 24, 1e-9);
    // A window on a few cells of the large grid plots only those.
    plot::Request r;
    r.db = db();
    r.area = AcDbPlotSettings::kWindow;
    r.window[0] = 5, r.window[1] = 15, r.window[2] = 35, r.window[3] = 45;
    r.nativePath = (host->tempDir() / "cells.png").string();
    std::wstring why;
    ASSERT_TRUE(plot::render(r, why)) << win::toUtf8(why);
}

TEST_F(Plotting, AMultipleInsertsCellsAreDrawnUnscaledAlongItsAxes) {
    // Cells 4 wide at (20, 20), (50, 20), (20, 50) and (50, 50); scaled spacing would put them at 80.
    squareGrid(*host, L"CELL", AcGePoint3d(20, 20, 0), 2, 2, 30);
    std::wstring why;
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("grid.png"), why), Acad::eOk) << win::toUtf8(why);
    PlotImage png(host->tempDir() / "grid.png");
    ASSERT_TRUE(png.ok());
    EXPECT_TRUE(png.dark(19.5, 20.5, 21, 23));
    EXPECT_TRUE(png.dark(53.5, 54.5, 21, 23));
    EXPECT_TRUE(png.dark(49.5, 50.5, 51, 53));
    EXPECT_FALSE(png.dark(79, 85, 21, 23));
    EXPECT_FALSE(png.dark(79, 85, 51, 53));
}

TEST_F(Plotting, AbsurdTextIsLeftOutAndTheRestIsStillDrawn) {
    // Each of these once broke cairo's state for good: the rest of the plot came out blank.
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Case {
        AcGePoint3d at;
        double height, rotation, widthFactor;
    };
    const Case cases[] = {{AcGePoint3d(60, 60, 0), 1e-300, 0, 1},
                          {AcGePoint3d(60, 60, 0), 5, nan, 1},
                          {AcGePoint3d(60, 60, 0), 5, inf, 1},
                          {AcGePoint3d(nan, 60, 0), 5, 0, 1},
                          {AcGePoint3d(60, 60, 0), 5, 0, 1e-300}};
    for (const Case& c : cases) {
        auto* t = new AcDbText(c.at, L"Absurd", AcDbObjectId(), 5);
        t->setHeight(c.height);
        t->setRotation(c.rotation);
        t->setWidthFactor(c.widthFactor);
        host->addEntity(t);
    }
    std::wstring why;
    ASSERT_EQ(plot::plotCurrentLayout(doc(), windowsPath("absurd.png"), why), Acad::eOk) << win::toUtf8(why);
    PlotImage png(host->tempDir() / "absurd.png");
    ASSERT_TRUE(png.ok());
    EXPECT_TRUE(png.dark(-1, 1, 40, 60));  // the frame's left edge, drawn after the texts
    EXPECT_TRUE(png.dark(11, 30, 81, 84)); // "Office 1"

    // A drawing paper units cannot hold is refused with its extents, not plotted blank.
    host->addEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1e300, 1e300, 0)));
    EXPECT_NE(plot::plotCurrentLayout(doc(), windowsPath("far.png"), why), Acad::eOk);
    EXPECT_NE(why.find(L"the drawing is too large to plot: its extents run from -2,-2 to 1e+300,1e+300"),
              std::wstring::npos)
        << win::toUtf8(why);
    EXPECT_FALSE(std::filesystem::exists(host->tempDir() / "far.png"));
}

TEST_F(Plotting, APaperOfLessThanOneDotIsRefused) {
    for (const wchar_t* media : {L"Tiny_(0.40_x_0.40_Pixels)", L"Thin_(0.001_x_297.00_MM)"}) {
        plot::Request r;
        r.db = db();
        r.media = media;
        for (plot::Format f : {plot::Format::kPng, plot::Format::kJpeg, plot::Format::kPdf}) {
            r.format = f;
            r.nativePath = (host->tempDir() / "tiny.out").string();
            std::wstring why;
            EXPECT_FALSE(plot::render(r, why)) << win::toUtf8(media); // a zero-sized JPEG ended the process
            EXPECT_NE(why.find(L"the paper is too small to plot on"), std::wstring::npos) << win::toUtf8(why);
            EXPECT_FALSE(std::filesystem::exists(r.nativePath));
        }
    }
}

TEST_F(Plotting, RefusesUnknownExtensionsAndMissingFolders) {
    std::wstring why;
    EXPECT_EQ(plot::plotCurrentLayout(doc(), windowsPath("plan.dwf"), why), Acad::eInvalidFileExtension);
    EXPECT_NE(plot::plotCurrentLayout(doc(), windowsPath("missing/plan.png"), why), Acad::eOk);
    EXPECT_NE(why.find(L"does not exist"), std::wstring::npos);
    EXPECT_FALSE(std::filesystem::exists(host->tempDir() / "missing"));
}

// The publish engine, driven as a plotting module drives it.
Acad::ErrorStatus publish(AcDbDatabase* db, const wchar_t* device, const std::wstring& file,
                          AcPlPlotProgressDialog** keepDialog = nullptr) {
    AcDbLayoutManager* lm = acdbHostApplicationServices()->layoutManager();
    AcDbObjectId layoutId = lm->activeLayoutId(db);
    AcDbLayout* layout = nullptr;
    acdbOpenObject(layout, layoutId, AcDb::kForRead);
    AcDbPlotSettings settings(true);
    acdbPlotSettingsValidator()->setPlotCfgName(&settings, device, L"ISO_A4_(297.00_x_210.00_MM)");
    acdbPlotSettingsValidator()->setPlotType(&settings, AcDbPlotSettings::kExtents);
    layout->close();
    AcPlPlotEngine* engine = nullptr;
    AcPlPlotFactory::createPublishEngine(engine);
    AcPlPlotProgressDialog* dlg = acplCreatePlotProgressDialog(nullptr, false, 1);
    dlg->setPlotMsgString(AcPlPlotProgressDialog::kDialogTitle, L"Plotting");
    dlg->setIsVisible(true);
    engine->beginPlot(dlg);
    AcPlPlotInfo info;
    info.setLayout(layoutId);
    info.setOverrideSettings(&settings);
    AcPlPlotInfoValidator validator;
    validator.setMediaMatchingPolicy(AcPlPlotInfoValidator::kMatchEnabled);
    validator.validate(info);
    Acad::ErrorStatus es = engine->beginDocument(info, L"plan", nullptr, 1, true, file.c_str());
    AcPlPlotPageInfo page;
    engine->beginPage(page, info, true);
    engine->beginGenerateGraphics();
    engine->endGenerateGraphics();
    engine->endPage();
    Acad::ErrorStatus end = engine->endDocument();
    engine->endPlot();
    engine->destroy();
    if (keepDialog)
        *keepDialog = dlg;
    else
        dlg->destroy();
    return es != Acad::eOk ? es : end;
}

TEST_F(Plotting, PublishEngineWritesPdfAndRefusesDwf) {
    AcPlPlotProgressDialog* dlg = nullptr;
    EXPECT_EQ(publish(db(), L"DWG To PDF.pc3", windowsPath("engine.pdf"), &dlg), Acad::eOk);
    EXPECT_EQ(head(host->tempDir() / "engine.pdf", 5), "%PDF-");
    EXPECT_STREQ(dlg->getPlotMsgString(AcPlPlotProgressDialog::kDialogTitle), L"Plotting");
    EXPECT_TRUE(dlg->isVisible());
    dlg->destroy();
    EXPECT_EQ(publish(db(), L"DWF6 ePlot.pc3", windowsPath("engine.dwf")), Acad::eInvalidPlotInfo);
    EXPECT_FALSE(std::filesystem::exists(host->tempDir() / "engine.dwf"));
    AcDbPlotSettings s(true);
    EXPECT_EQ(acdbPlotSettingsValidator()->setPlotCfgName(&s, L"Nonexistent.pc3"), Acad::eInvalidInput);
    EXPECT_EQ(acdbPlotSettingsValidator()->setCanonicalMediaName(&s, L"Letter"), Acad::eInvalidInput);
    double wmm = 0, hmm = 0;
    bool px = true;
    ASSERT_TRUE(AcDbPlotSettingsValidator::mediaSize(L"ANSI_A_(11.00_x_8.50_Inches)", wmm, hmm, px));
    EXPECT_NEAR(wmm, 279.4, 1e-9);
    EXPECT_FALSE(px);
    // A size too large for a number, as a damaged drawing may name it, once ended the process.
    EXPECT_FALSE(
        AcDbPlotSettingsValidator::mediaSize(L"Big_(" + std::wstring(400, L'9') + L".00_x_1.00_MM)", wmm, hmm, px));
}

} // namespace
