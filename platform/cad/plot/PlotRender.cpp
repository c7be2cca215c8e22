// Plotting a layout: the paper and the plotted area, the drawing of its space and viewports, and the file written.
#include "cad/plot/PlotRenderer.h"

#include "cad/app/DocumentFile.h"
#include "win/Encoding.h"
#include "win/Paths.h"

#include <cairo-pdf.h>
#include <jpeglib.h>
#include <jerror.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

namespace plot {

using drawing::blockExtents;
using drawing::Ctx;

namespace {

void noteCairoStatus(cairo_status_t status) {
    if (status == CAIRO_STATUS_NO_MEMORY) drawing::g_shortOfMemory = true;
}

// The surface and the drawing context go however the plot ends, a failed allocation included.
struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// cairo hands its output over in small pieces (a page of PDF in a few hundred writes of a few bytes
// each): they are gathered here and reach the file in large blocks.
class PlotOutput {
public:
    explicit PlotOutput(docfile::Replacement& file) : file_(file) {}

    bool write(std::string_view bytes) {
        if (pending_.size() + bytes.size() > kBlock && !flush()) return false;
        if (bytes.size() >= kBlock) return ok_ = file_.write(bytes);
        pending_.append(bytes);
        return ok_;
    }
    bool flush() {
        if (ok_ && !pending_.empty()) ok_ = file_.write(pending_);
        pending_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    docfile::Replacement& file_;
    std::string pending_;
    bool ok_ = true;
};

// cairo's output goes to the temporary file; a failed write stops it with a write error. No exception
// may pass through cairo: memory running out while gathering is cairo's own status.
cairo_status_t toFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<PlotOutput*>(closure);
    try {
        return out->write(std::string_view(reinterpret_cast<const char*>(data), length)) ? CAIRO_STATUS_SUCCESS
                                                                                         : CAIRO_STATUS_WRITE_ERROR;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

// The JPEG library reports errors through its error manager, whose default ends the process: ours
// jumps back to the encoder with the library's message.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    errors->manager.format_message(cinfo, errors->message);
    std::longjmp(errors->back, 1);
}

// The encoder's state lives outside the frame that calls setjmp, so that it is whole after a jump.
// The image goes to the plot's file in blocks as it is encoded: no copy of it is held in memory, and
// nothing the library allocated is left to free after a failure.
struct JpegJob {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    jpeg_destination_mgr destination;
    PlotOutput* out = nullptr;
    bool unwritten = false; // the output refused the bytes: the file says why
    bool noMemory = false;
    JOCTET block[16384];
    std::vector<unsigned char> row;
};

JpegJob* jobOf(j_compress_ptr cinfo) {
    return static_cast<JpegJob*>(cinfo->client_data);
}

// Hands the encoded bytes on; a write that fails (or finds no memory) stops the encoder.
void jpegPass(j_compress_ptr cinfo, std::size_t length) {
    JpegJob* job = jobOf(cinfo);
    bool written = false;
    try {
        written = job->out->write(std::string_view(reinterpret_cast<const char*>(job->block), length));
    } catch (const std::bad_alloc&) {
        job->noMemory = true;
    }
    if (!written) {
        job->unwritten = !job->noMemory;
        cinfo->err->msg_code = job->noMemory ? JERR_OUT_OF_MEMORY : JERR_FILE_WRITE;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    job->destination.next_output_byte = job->block;
    job->destination.free_in_buffer = sizeof job->block;
}

void jpegStart(j_compress_ptr cinfo) {
    JpegJob* job = jobOf(cinfo);
    job->destination.next_output_byte = job->block;
    job->destination.free_in_buffer = sizeof job->block;
}

boolean jpegBlockFull(j_compress_ptr cinfo) {
    jpegPass(cinfo, sizeof jobOf(cinfo)->block);
    return TRUE;
}

void jpegEnd(j_compress_ptr cinfo) {
    JpegJob* job = jobOf(cinfo);
    if (job->destination.free_in_buffer < sizeof job->block)
        jpegPass(cinfo, sizeof job->block - job->destination.free_in_buffer);
}

// The image as JPEG (quality 90) into the plot's output; false with the library's message.
bool encodeJpeg(JpegJob& job, cairo_surface_t* s) {
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    job.row.resize(size_t(w) * 3);
    job.cinfo.err = jpeg_std_error(&job.errors.manager);
    job.errors.manager.error_exit = jpegFailed;
    if (setjmp(job.errors.back)) {
        jpeg_destroy_compress(&job.cinfo);
        return false;
    }
    jpeg_create_compress(&job.cinfo);
    job.cinfo.client_data = &job;
    job.destination.init_destination = jpegStart;
    job.destination.empty_output_buffer = jpegBlockFull;
    job.destination.term_destination = jpegEnd;
    job.cinfo.dest = &job.destination;
    job.cinfo.image_width = JDIMENSION(w);
    job.cinfo.image_height = JDIMENSION(h);
    job.cinfo.input_components = 3;
    job.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.cinfo);
    jpeg_set_quality(&job.cinfo, 90, TRUE);
    jpeg_start_compress(&job.cinfo, TRUE);
    while (job.cinfo.next_scanline < job.cinfo.image_height) {
        const auto* px = reinterpret_cast<const uint32_t*>(data + size_t(job.cinfo.next_scanline) * size_t(stride));
        for (int x = 0; x < w; ++x) {
            job.row[size_t(x) * 3] = (px[x] >> 16) & 0xFF;
            job.row[size_t(x) * 3 + 1] = (px[x] >> 8) & 0xFF;
            job.row[size_t(x) * 3 + 2] = px[x] & 0xFF;
        }
        JSAMPROW rp = job.row.data();
        jpeg_write_scanlines(&job.cinfo, &rp, 1);
    }
    jpeg_finish_compress(&job.cinfo);
    jpeg_destroy_compress(&job.cinfo);
    return true;
}

bool writeJpeg(cairo_surface_t* s, PlotOutput& out, std::wstring& error) {
    auto job = std::make_unique<JpegJob>();
    job->out = &out;
    if (encodeJpeg(*job, s)) return true;
    if (job->noMemory) drawing::g_shortOfMemory = true;
    if (!job->unwritten) error = L"the JPEG image cannot be made: " + win::fromUtf8(job->errors.message);
    return false;
}

} // namespace

namespace {

bool renderInto(const Request& r, std::wstring& error, int* entitiesDrawn) {
    if (!r.db) {
        error = L"no drawing";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(r.nativePath);
    if (!target.has_parent_path() ? false : !fs::is_directory(target.parent_path(), ec)) {
        error = L"the folder " + win::fromNative(target.parent_path().string()) + L" does not exist";
        return false;
    }
    // Paper: the media's size, or A3 landscape; raster output at 150 dots per inch.
    double wMm = 420, hMm = 297;
    bool pixels = false;
    if (!r.media.empty()) AcDbPlotSettingsValidator::mediaSize(r.media, wMm, hMm, pixels);
    if (r.rotation == AcDbPlotSettings::k90degrees || r.rotation == AcDbPlotSettings::k270degrees) std::swap(wMm, hMm);
    bool raster = r.format != Format::kPdf;
    double devPerMm = raster ? (pixels ? 1.0 : 150.0 / 25.4) : 72.0 / 25.4;
    if (!raster && pixels) devPerMm = 72.0 / 96.0;
    double W = wMm * devPerMm, H = hMm * devPerMm;
    if (raster) {
        W = std::round(std::min(W, 8000.0));
        H = std::round(std::min(H, 8000.0));
    } else {
        // A PDF page is at most 200 inches a side.
        W = std::min(W, 14400.0);
        H = std::min(H, 14400.0);
    }
    if (!(W >= 1 && H >= 1)) {
        std::wostringstream why;
        why << L"the paper is too small to plot on (" << wMm << L" by " << hMm << (pixels ? L" pixels)" : L" mm)");
        error = why.str();
        return false;
    }

    // What to show: the block of the layout, and the area in its coordinates.
    AcDbObjectId space = r.db->modelSpaceId();
    AcDbLayout* layout = nullptr;
    bool paper = false;
    if (!r.layoutId.isNull() && acdbOpenObject(layout, r.layoutId, AcDb::kForRead) == Acad::eOk) {
        space = layout->getBlockTableRecordId();
        paper = space != r.db->modelSpaceId();
        layout->close();
    }
    AcDbExtents ext;
    if (r.area == AcDbPlotSettings::kWindow && r.window[2] > r.window[0] && r.window[3] > r.window[1]) {
        ext.set(AcGePoint3d(r.window[0], r.window[1], 0), AcGePoint3d(r.window[2], r.window[3], 0));
    } else if (paper && r.area == AcDbPlotSettings::kLayout) {
        // A paper layout plots its sheet: paper units are millimetres.
        ext.set(AcGePoint3d(0, 0, 0), AcGePoint3d(wMm, hMm, 0));
    } else {
        // Measuring the extents has a budget of its own, as drawing has: each placed entity is charged once in
        // each, and neither has only what the other left.
        AcDbExpansionBudget measuring(r.db);
        if (!blockExtents(space, ext, true)) ext.set(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
        if (AcDbBlockReference::expansionStopped()) {
            error = AcDbBlockReference::budgetReason(r.db) + L": it is not plotted";
            return false;
        }
    }
    double ew = std::max(ext.maxPoint().x - ext.minPoint().x, 1e-9);
    double eh = std::max(ext.maxPoint().y - ext.minPoint().y, 1e-9);
    if (r.fitOrientation && ew != eh && (ew > eh) != (W > H)) std::swap(W, H);
    double margin = 0.03;
    double scale = std::min(W * (1 - 2 * margin) / ew, H * (1 - 2 * margin) / eh);

    // Drawn into a temporary file put in the target's place only when all of it was written: a
    // failed plot leaves an earlier one as it was.
    docfile::Replacement file;
    auto cannotWrite = [&] {
        error = L"cannot write " + win::fromNative(r.nativePath) + L": " + win::fromUtf8(file.why());
        return false;
    };
    if (!file.open(r.nativePath)) return cannotWrite();
    // Once the plot has a file to go to: a plot refused its file ends before any font is looked for.
    drawing::prepareTextFonts();
    PlotOutput out(file);
    const Surface owned(raster ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(W), int(H))
                               : cairo_pdf_surface_create_for_stream(toFile, &out, W, H));
    cairo_surface_t* surface = owned.get();
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        noteCairoStatus(cairo_surface_status(surface));
        error = L"the plot cannot be drawn: " + win::fromUtf8(cairo_status_to_string(cairo_surface_status(surface)));
        return false;
    }
    drawing::releaseFontCachesAtExit();
    Context context(cairo_create(surface));
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    // World to device: centred, Y up.
    cairo_translate(cr, W / 2, H / 2);
    cairo_scale(cr, scale, -scale);
    cairo_translate(cr, -(ext.minPoint().x + ext.maxPoint().x) / 2, -(ext.minPoint().y + ext.maxPoint().y) / 2);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        // Paper units cannot hold it: an entity lies absurdly far away or is absurdly large.
        std::wostringstream why;
        why << L"the drawing is too large to plot: its extents run from " << ext.minPoint().x << L","
            << ext.minPoint().y << L" to " << ext.maxPoint().x << L"," << ext.maxPoint().y;
        noteCairoStatus(cairo_status(cr));
        error = cairo_status(cr) == CAIRO_STATUS_NO_MEMORY
                    ? L"the plot cannot be drawn: " + win::fromUtf8(cairo_status_to_string(cairo_status(cr)))
                    : why.str();
        return false;
    }

    AcDbExpansionBudget drawingBudget(r.db);
    Ctx c;
    c.cr = cr;
    c.db = r.db;
    c.pxPerUnit = scale;
    c.thinLine = std::max(0.25 * devPerMm, raster ? 1.0 : 0.3);
    drawing::drawSpace(c, space, paper);
    if (drawing::workStopped(c)) {
        error = AcDbBlockReference::budgetReason(r.db) + L": it is not plotted";
        return false;
    }
    cairo_status_t drawn = cairo_status(cr);
    context.reset();
    cairo_status_t written = CAIRO_STATUS_SUCCESS;
    bool encoded = true;
    if (drawn != CAIRO_STATUS_SUCCESS) {
        // Nothing is written: the surface may hold only part of the drawing.
    } else if (r.format == Format::kPng) {
        written = cairo_surface_write_to_png_stream(surface, toFile, &out);
    } else if (r.format == Format::kJpeg) {
        cairo_surface_flush(surface);
        encoded = writeJpeg(surface, out, error);
    } else {
        cairo_surface_finish(surface);
        written = cairo_surface_status(surface);
    }
    noteCairoStatus(drawn);
    noteCairoStatus(written);
    if (written == CAIRO_STATUS_SUCCESS && !out.flush()) written = CAIRO_STATUS_WRITE_ERROR;
    if (entitiesDrawn) *entitiesDrawn = c.drawn;
    if (drawn != CAIRO_STATUS_SUCCESS) {
        error = L"the plot cannot be drawn: " + win::fromUtf8(cairo_status_to_string(drawn));
        return false;
    }
    if (!encoded) return error.empty() ? cannotWrite() : false;
    if (written != CAIRO_STATUS_SUCCESS && file.why().empty()) {
        error =
            L"cannot write " + win::fromNative(r.nativePath) + L": " + win::fromUtf8(cairo_status_to_string(written));
        return false;
    }
    if (written != CAIRO_STATUS_SUCCESS || !file.commit()) return cannotWrite();
    return true;
}

} // namespace

bool render(const Request& r, std::wstring& error, int* entitiesDrawn) {
    try {
        return renderInto(r, error, entitiesDrawn);
    } catch (const std::bad_alloc&) {
        // What the plot had made is freed on the way here; the file is left as it was.
        drawing::g_shortOfMemory = true;
        error = L"the plot cannot be drawn: there is not enough memory";
        return false;
    }
}

} // namespace plot
