#include "cad/plot/PlotEngine.h"
#include "cad/plot/PlotRenderer.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/app/HostApplicationServices.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"

#include <cmath>
#include <cwchar>
#include <cwctype>
#include <regex>

namespace {

const ACHAR* const kDevices[] = {kPlotDeviceDwf, kPlotDevicePdf, kPlotDeviceJpg, kPlotDevicePng};

bool knownDevice(const ACHAR* name) {
    if (!name) return false;
    for (const ACHAR* d : kDevices)
        if (std::wstring(d) == name) return true;
    return false;
}

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

} // namespace

bool AcDbPlotSettingsValidator::mediaSize(const std::wstring& name, double& w, double& h, bool& pixels) {
    static const std::wregex pattern(LR"(\((\d+(?:\.\d+)?)_x_(\d+(?:\.\d+)?)_(MM|Inches|Pixels)\))");
    std::wsmatch m;
    if (!std::regex_search(name, m, pattern)) return false;
    // The name may come from a damaged drawing: a number too large for a double is no size
    // (std::stod would throw it out of the plot).
    w = std::wcstod(m[1].str().c_str(), nullptr);
    h = std::wcstod(m[2].str().c_str(), nullptr);
    pixels = m[3] == L"Pixels";
    if (m[3] == L"Inches") {
        w *= 25.4;
        h *= 25.4;
    }
    return w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h);
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setPlotCfgName(AcDbPlotSettings* s, const ACHAR* device,
                                                            const ACHAR* media) {
    if (!s) return Acad::eNullObjectId;
    if (!knownDevice(device) && !(device && lower(device) == L"none_device")) return Acad::eInvalidInput;
    Acad::ErrorStatus es = s->setPlotCfgName(device);
    if (es != Acad::eOk) return es;
    if (media && *media) return setCanonicalMediaName(s, media);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setCanonicalMediaName(AcDbPlotSettings* s, const ACHAR* media) {
    if (!s) return Acad::eNullObjectId;
    double w, h;
    bool px;
    if (!media || !mediaSize(media, w, h, px)) return Acad::eInvalidInput;
    Acad::ErrorStatus es = s->setCanonicalMediaName(media);
    if (es == Acad::eOk && !px) s->setPlotPaperSize(w, h);
    return es;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setPlotType(AcDbPlotSettings* s, AcDbPlotSettings::PlotType t) {
    if (!s) return Acad::eNullObjectId;
    if (t < AcDbPlotSettings::kDisplay || t > AcDbPlotSettings::kLayout) return Acad::eInvalidInput;
    s->setPlotType(t);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setPlotWindowArea(AcDbPlotSettings* s, double x0, double y0, double x1,
                                                               double y1) {
    if (!s) return Acad::eNullObjectId;
    s->setPlotWindowArea(x0, y0, x1, y1);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setPlotRotation(AcDbPlotSettings* s, AcDbPlotSettings::PlotRotation r) {
    if (!s) return Acad::eNullObjectId;
    s->setPlotRotation(r);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setPlotCentered(AcDbPlotSettings* s, bool c) {
    if (!s) return Acad::eNullObjectId;
    s->setPlotCentered(c);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setUseStandardScale(AcDbPlotSettings* s, bool v) {
    if (!s) return Acad::eNullObjectId;
    s->setUseStandardScale(v);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setStdScaleType(AcDbPlotSettings* s, AcDbPlotSettings::StdScaleType t) {
    if (!s) return Acad::eNullObjectId;
    if (int(t) < 0 || int(t) > 34) return Acad::eInvalidInput;
    s->setStdScaleType(t);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::setCurrentStyleSheet(AcDbPlotSettings* s, const ACHAR* sheet) {
    if (!s) return Acad::eNullObjectId;
    return s->setCurrentStyleSheet(sheet ? sheet : L"");
}

Acad::ErrorStatus AcDbPlotSettingsValidator::refreshLists(AcDbPlotSettings* s) {
    if (!s) return Acad::eNullObjectId;
    ++refreshes_;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::plotDeviceList(AcArray<const ACHAR*>& devices) {
    devices.removeAll();
    for (const ACHAR* d : kDevices) devices.append(d);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPlotSettingsValidator::canonicalMediaNameList(AcDbPlotSettings*, AcArray<const ACHAR*>& media) {
    static const ACHAR* const names[] = {L"ISO_A4_(297.00_x_210.00_MM)",  L"ISO_A4_(210.00_x_297.00_MM)",
                                         L"ISO_A3_(420.00_x_297.00_MM)",  L"ISO_A1_(841.00_x_594.00_MM)",
                                         L"ANSI_A_(11.00_x_8.50_Inches)", L"Sun_Hi-Res_(1600.00_x_1280.00_Pixels)"};
    media.removeAll();
    for (const ACHAR* n : names) media.append(n);
    return Acad::eOk;
}

AcDbPlotSettingsValidator* acdbPlotSettingsValidator() {
    static AcDbPlotSettingsValidator v;
    return &v;
}

Acad::ErrorStatus AcPlPlotInfoValidator::validate(AcPlPlotInfo& info) {
    info.validated_ = false;
    AcDbLayout* layout = nullptr;
    if (info.layout_.isNull() || acdbOpenObject(layout, info.layout_, AcDb::kForRead) != Acad::eOk)
        return Acad::eNoLayout;
    const AcDbPlotSettings* s = info.override_ ? info.override_ : layout;
    const ACHAR* device = nullptr;
    const ACHAR* media = nullptr;
    s->getPlotCfgName(device);
    s->getCanonicalMediaName(media);
    info.device_ = device ? device : L"";
    info.media_ = media ? media : L"";
    info.plotType_ = s->plotType();
    info.rotation_ = s->plotRotation();
    s->getPlotWindowArea(info.win_[0], info.win_[1], info.win_[2], info.win_[3]);
    layout->close();
    double w, h;
    bool px;
    if (!info.media_.empty() && !AcDbPlotSettingsValidator::mediaSize(info.media_, w, h, px)) {
        if (policy_ == kMatchDisabled) return Acad::eInvalidPlotInfo;
        info.media_.clear(); // matching falls back to the device's default sheet
    }
    info.validated_ = true;
    return Acad::eOk;
}

bool AcPlPlotProgressDialog::setPlotMsgString(PlotMSGIndex i, const ACHAR* text) {
    if (i < 0 || i >= kMsgCount) return false;
    texts_[i] = text ? text : L"";
    return true;
}

const ACHAR* AcPlPlotProgressDialog::getPlotMsgString(PlotMSGIndex i) const {
    return (i < 0 || i >= kMsgCount) ? L"" : texts_[i].c_str();
}

void AcPlPlotProgressDialog::destroy() {
    delete this;
}

AcPlPlotProgressDialog* acplCreatePlotProgressDialog(HWND, bool, int, void*, bool) {
    return new AcPlPlotProgressDialog();
}

Acad::ErrorStatus AcPlPlotFactory::createPublishEngine(AcPlPlotEngine*& engine) {
    engine = new AcPlPlotEngine();
    return Acad::eOk;
}

void AcPlPlotEngine::destroy() {
    delete this;
}

Acad::ErrorStatus AcPlPlotEngine::beginPlot(AcPlPlotProgressDialog*, void*) {
    if (state_ != State::kIdle) return Acad::eInvalidInput;
    state_ = State::kPlot;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::endPlot(void*) {
    if (state_ != State::kPlot) return Acad::eInvalidInput;
    state_ = State::kIdle;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::beginDocument(AcPlPlotInfo& info, const ACHAR*, void*, Adesk::Int32, bool plotToFile,
                                                const ACHAR* fileName) {
    if (state_ != State::kPlot) return Acad::eInvalidInput;
    if (!info.isValidated()) {
        error_ = L"the plot information was not validated";
        return Acad::eInvalidPlotInfo;
    }
    plot::Format f;
    if (!plot::formatOfDevice(info.deviceName(), f)) {
        error_ = L"the plot device \"" + info.deviceName() + L"\" cannot write files here";
        return Acad::eInvalidPlotInfo;
    }
    if (!plotToFile || !fileName || !*fileName) {
        error_ = L"only plotting to a file is possible";
        return Acad::eInvalidInput;
    }
    info_ = info;
    file_ = fileName;
    pageDone_ = false;
    state_ = State::kDocument;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::beginPage(AcPlPlotPageInfo&, AcPlPlotInfo&, bool, void*) {
    if (state_ != State::kDocument) return Acad::eInvalidInput;
    state_ = State::kPage;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::beginGenerateGraphics(void*) {
    if (state_ != State::kPage) return Acad::eInvalidInput;
    state_ = State::kGraphics;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::endGenerateGraphics(void*) {
    if (state_ != State::kGraphics) return Acad::eInvalidInput;
    state_ = State::kPage;
    pageDone_ = true;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::endPage(void*) {
    if (state_ != State::kPage) return Acad::eInvalidInput;
    state_ = State::kDocument;
    return Acad::eOk;
}

Acad::ErrorStatus AcPlPlotEngine::endDocument(void*) {
    if (state_ != State::kDocument) return Acad::eInvalidInput;
    state_ = State::kPlot;
    if (!pageDone_) return Acad::eOk; // no graphics were generated: nothing to write
    plot::Request r;
    AcDbLayout* layout = nullptr;
    if (acdbOpenObject(layout, info_.layout(), AcDb::kForRead) != Acad::eOk) {
        error_ = L"the layout to plot is gone";
        return Acad::eNoLayout;
    }
    r.db = layout->database();
    layout->close();
    r.layoutId = info_.layout();
    plot::formatOfDevice(info_.deviceName(), r.format);
    r.media = info_.mediaName();
    r.area = info_.plotType();
    r.rotation = info_.rotation();
    info_.window(r.window[0], r.window[1], r.window[2], r.window[3]);
    DWORD err = 0;
    if (!win::mapToNative(file_.c_str(), r.nativePath, &err)) {
        error_ = L"the plot file name cannot be used: " + file_;
        return Acad::eFileAccessErr;
    }
    if (!plot::render(r, error_)) return Acad::eFileAccessErr;
    return Acad::eOk;
}

namespace plot {

bool formatOfDevice(const std::wstring& device, Format& format) {
    if (device == kPlotDevicePdf)
        format = Format::kPdf;
    else if (device == kPlotDevicePng)
        format = Format::kPng;
    else if (device == kPlotDeviceJpg)
        format = Format::kJpeg;
    else
        return false;
    return true;
}

bool formatOfFile(const std::wstring& path, Format& format) {
    size_t dot = path.find_last_of(L'.');
    size_t sep = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (sep != std::wstring::npos && dot < sep)) return false;
    std::wstring ext = lower(path.substr(dot));
    if (ext == L".pdf")
        format = Format::kPdf;
    else if (ext == L".png")
        format = Format::kPng;
    else if (ext == L".jpg" || ext == L".jpeg")
        format = Format::kJpeg;
    else
        return false;
    return true;
}

Acad::ErrorStatus plotCurrentLayout(AcApDocument* doc, const std::wstring& windowsPath, std::wstring& error) {
    if (!doc || !doc->database()) {
        error = L"no drawing";
        return Acad::eNoDatabase;
    }
    if (const std::string refused = win::nameRefusal(windowsPath); !refused.empty()) {
        error = L"cannot write " + windowsPath + L": " + win::fromNative(refused);
        return Acad::eFileAccessErr;
    }
    Request r;
    if (!formatOfFile(windowsPath, r.format)) {
        error = L"the file name must end in .pdf, .png, .jpg or .jpeg";
        return Acad::eInvalidFileExtension;
    }
    DWORD err = 0;
    if (!win::mapToNative(windowsPath.c_str(), r.nativePath, &err)) {
        error = L"the path cannot be used: " + windowsPath;
        return Acad::eFileAccessErr;
    }
    r.db = doc->database();
    r.layoutId = acdbHostApplicationServices()->layoutManager()->activeLayoutId(r.db);
    r.area = AcDbPlotSettings::kExtents;
    r.fitOrientation = true;
    AcDbLayout* layout = nullptr;
    if (!r.layoutId.isNull() && acdbOpenObject(layout, r.layoutId, AcDb::kForRead) == Acad::eOk) {
        const ACHAR* media = nullptr;
        layout->getCanonicalMediaName(media);
        r.media = media ? media : L"";
        r.rotation = layout->plotRotation();
        if (layout->getBlockTableRecordId() != r.db->modelSpaceId()) {
            r.area = AcDbPlotSettings::kLayout;
            r.fitOrientation = false;
        }
        layout->close();
    }
    if (!render(r, error)) return Acad::eFileAccessErr;
    return Acad::eOk;
}

} // namespace plot
