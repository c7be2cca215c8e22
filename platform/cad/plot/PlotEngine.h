#pragma once
// Plotting: the plot-settings validator, plot info and its validator, the publish engine with
// its progress dialog, and the renderer that draws a layout with cairo to PDF, PNG or JPEG.
#include <string>
#include <vector>

#include "cad/db/AcDbCore.h"
#include "cad/db/AcDbObject.h"

class AcApDocument;
class AcDbDatabase;

// Device files the plotter knows. "DWF6 ePlot.pc3" is known but cannot be written here.
#define kPlotDevicePdf L"DWG To PDF.pc3"
#define kPlotDevicePng L"PublishToWeb PNG.pc3"
#define kPlotDeviceJpg L"PublishToWeb JPG.pc3"
#define kPlotDeviceDwf L"DWF6 ePlot.pc3"

class AcDbPlotSettingsValidator {
public:
    // The device must be one of the known device files; a media name, when given, must be canonical.
    Acad::ErrorStatus setPlotCfgName(AcDbPlotSettings* settings, const ACHAR* deviceName,
                                     const ACHAR* mediaName = nullptr);
    Acad::ErrorStatus setCanonicalMediaName(AcDbPlotSettings* settings, const ACHAR* mediaName);
    Acad::ErrorStatus setPlotType(AcDbPlotSettings* settings, AcDbPlotSettings::PlotType type);
    Acad::ErrorStatus setPlotWindowArea(AcDbPlotSettings* settings, double xmin, double ymin, double xmax, double ymax);
    Acad::ErrorStatus setPlotRotation(AcDbPlotSettings* settings, AcDbPlotSettings::PlotRotation rotation);
    Acad::ErrorStatus setPlotCentered(AcDbPlotSettings* settings, bool centered);
    Acad::ErrorStatus setUseStandardScale(AcDbPlotSettings* settings, bool useStandard);
    Acad::ErrorStatus setStdScaleType(AcDbPlotSettings* settings, AcDbPlotSettings::StdScaleType type);
    Acad::ErrorStatus setCurrentStyleSheet(AcDbPlotSettings* settings, const ACHAR* styleSheet);
    Acad::ErrorStatus refreshLists(AcDbPlotSettings* settings);
    Acad::ErrorStatus plotDeviceList(AcArray<const ACHAR*>& devices);
    Acad::ErrorStatus canonicalMediaNameList(AcDbPlotSettings* settings, AcArray<const ACHAR*>& media);
    // Paper width and height in millimetres of a canonical media name ("ISO_A4_(297.00_x_210.00_MM)").
    static bool mediaSize(const std::wstring& mediaName, double& widthMm, double& heightMm, bool& pixels);
    int refreshCount() const { return refreshes_; }

private:
    int refreshes_ = 0;
};

AcDbPlotSettingsValidator* acdbPlotSettingsValidator();

class AcPlPlotInfo {
public:
    void setLayout(AcDbObjectId layoutId) {
        layout_ = layoutId;
        validated_ = false;
    }
    AcDbObjectId layout() const { return layout_; }
    // Settings that replace the layout's own for this plot (not owned; copied when validated).
    void setOverrideSettings(const AcDbPlotSettings* settings) {
        override_ = settings;
        validated_ = false;
    }
    const AcDbPlotSettings* overrideSettings() const { return override_; }
    bool isValidated() const { return validated_; }
    // Validated values: device, media, area, rotation.
    const std::wstring& deviceName() const { return device_; }
    const std::wstring& mediaName() const { return media_; }
    AcDbPlotSettings::PlotType plotType() const { return plotType_; }
    AcDbPlotSettings::PlotRotation rotation() const { return rotation_; }
    void window(double& x0, double& y0, double& x1, double& y1) const {
        x0 = win_[0];
        y0 = win_[1];
        x1 = win_[2];
        y1 = win_[3];
    }

private:
    friend class AcPlPlotInfoValidator;
    AcDbObjectId layout_;
    const AcDbPlotSettings* override_ = nullptr;
    bool validated_ = false;
    std::wstring device_, media_;
    AcDbPlotSettings::PlotType plotType_ = AcDbPlotSettings::kExtents;
    AcDbPlotSettings::PlotRotation rotation_ = AcDbPlotSettings::k0degrees;
    double win_[4] = {0, 0, 0, 0};
};

class AcPlPlotInfoValidator {
public:
    enum MatchingPolicy { kMatchDisabled = 1, kMatchEnabled = 2, kMatchEnabledCustom = 3, kMatchEnabledTmpCustom = 4 };
    void setMediaMatchingPolicy(MatchingPolicy policy) { policy_ = policy; }
    MatchingPolicy matchingPolicy() const { return policy_; }
    // Reads the layout's settings (or the override) into the info; eNoLayout without a layout.
    Acad::ErrorStatus validate(AcPlPlotInfo& info);

private:
    MatchingPolicy policy_ = kMatchDisabled;
};

// The progress dialog of a plot: nothing is shown; its texts and positions are recorded.
class AcPlPlotProgressDialog {
public:
    enum PlotMSGIndex {
        kDialogTitle = 0,
        kSheetName,
        kSheetNameToolTip,
        kStatus,
        kSheetProgressCaption,
        kSheetSetProgressCaption,
        kMsgCancelling,
        kMsgCancellingCurrent,
        kCancelSheetBtnMsg,
        kCancelJobBtnMsg,
        kMsgCount
    };
    bool setPlotMsgString(PlotMSGIndex index, const ACHAR* text);
    const ACHAR* getPlotMsgString(PlotMSGIndex index) const;
    bool onBeginPlot() {
        ++begins_;
        return true;
    }
    bool onEndPlot() {
        ++ends_;
        return true;
    }
    bool onBeginSheet() {
        ++sheetBegins_;
        return true;
    }
    bool onEndSheet() {
        ++sheetEnds_;
        return true;
    }
    void setPlotProgressRange(int lo, int hi) {
        plotRange_[0] = lo;
        plotRange_[1] = hi;
    }
    void setPlotProgressPos(int pos) { plotPos_ = pos; }
    int plotProgressPos() const { return plotPos_; }
    void setSheetProgressRange(int lo, int hi) {
        sheetRange_[0] = lo;
        sheetRange_[1] = hi;
    }
    void setSheetProgressPos(int pos) { sheetPos_ = pos; }
    int sheetProgressPos() const { return sheetPos_; }
    bool isPlotCancelled() const { return false; }
    bool isSheetCancelled() const { return false; }
    void setIsVisible(bool v) { visible_ = v; }
    bool isVisible() const { return visible_; }
    void destroy();
    int beginCount() const { return begins_; }

private:
    friend AcPlPlotProgressDialog* acplCreatePlotProgressDialog(HWND, bool, int, void*, bool);
    AcPlPlotProgressDialog() = default;
    std::wstring texts_[kMsgCount];
    int plotRange_[2] = {0, 100}, sheetRange_[2] = {0, 100};
    int plotPos_ = 0, sheetPos_ = 0, begins_ = 0, ends_ = 0, sheetBegins_ = 0, sheetEnds_ = 0;
    bool visible_ = false;
};

AcPlPlotProgressDialog* acplCreatePlotProgressDialog(HWND parent, bool preview = false, int sheets = 1,
                                                     void* notify = nullptr, bool showCancelSheetButton = true);

class AcPlPlotPageInfo {
public:
    int entityCount() const { return entities_; }

private:
    friend class AcPlPlotEngine;
    int entities_ = 0;
};

// The publish engine. The file is written when the document ends; a device that cannot be
// written (DWF) fails at the beginning of the document and nothing is written.
class AcPlPlotEngine {
public:
    Acad::ErrorStatus beginPlot(AcPlPlotProgressDialog* dialog, void* reserved = nullptr);
    Acad::ErrorStatus endPlot(void* reserved = nullptr);
    Acad::ErrorStatus beginDocument(AcPlPlotInfo& info, const ACHAR* documentName, void* reserved = nullptr,
                                    Adesk::Int32 copies = 1, bool plotToFile = false, const ACHAR* fileName = nullptr);
    Acad::ErrorStatus endDocument(void* reserved = nullptr);
    Acad::ErrorStatus beginPage(AcPlPlotPageInfo& pageInfo, AcPlPlotInfo& info, bool lastPage,
                                void* reserved = nullptr);
    Acad::ErrorStatus endPage(void* reserved = nullptr);
    Acad::ErrorStatus beginGenerateGraphics(void* reserved = nullptr);
    Acad::ErrorStatus endGenerateGraphics(void* reserved = nullptr);
    bool isBackgroundPackaging() const { return false; }
    void destroy();
    const std::wstring& lastError() const { return error_; }

private:
    friend class AcPlPlotFactory;
    AcPlPlotEngine() = default;
    enum class State { kIdle, kPlot, kDocument, kPage, kGraphics };
    State state_ = State::kIdle;
    AcPlPlotInfo info_;
    std::wstring file_, error_;
    bool pageDone_ = false;
};

class AcPlPlotFactory {
public:
    static Acad::ErrorStatus createPublishEngine(AcPlPlotEngine*& engine);
    static Acad::ErrorStatus createPreviewEngine(AcPlPlotEngine*& engine, long flags = 0) {
        engine = nullptr;
        return Acad::eNotImplementedYet;
    }
};

namespace plot {
enum class Format { kPdf, kPng, kJpeg };
// The format of a device file name; false for one that cannot be written (DWF) or is unknown.
bool formatOfDevice(const std::wstring& device, Format& format);
bool formatOfFile(const std::wstring& path, Format& format);

struct Request {
    AcDbDatabase* db = nullptr;
    AcDbObjectId layoutId; // null: model space
    Format format = Format::kPng;
    std::wstring media; // canonical media name; empty: a default size
    AcDbPlotSettings::PlotType area = AcDbPlotSettings::kExtents;
    AcDbPlotSettings::PlotRotation rotation = AcDbPlotSettings::k0degrees;
    double window[4] = {0, 0, 0, 0}; // for a window plot, world coordinates
    bool fitOrientation = false;     // turn the sheet when the drawing fits it better
    std::string nativePath;
};
// Draws the layout into the file; false with a reason when it cannot be written.
bool render(const Request& request, std::wstring& error, int* entitiesDrawn = nullptr);

// The host's PLOT command: the current layout of the document to a file whose extension
// chooses the format (.pdf, .png, .jpg/.jpeg).
Acad::ErrorStatus plotCurrentLayout(AcApDocument* doc, const std::wstring& windowsPath, std::wstring& error);
} // namespace plot
