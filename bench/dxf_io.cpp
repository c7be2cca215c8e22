// Load and save speed of DXF drawings: a floor plan of 10,000 space blocks (three attributes and
// extended data each) among 50,000 other inserts. Reported as MB/s; the memory a loaded drawing
// takes is reported against the file's size. bench/dxf_ezdxf_compare.py sets it against ezdxf.
#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDocument.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using dxf::Tag;
using dxf::Tags;

std::string benchFile() {
    const char* env = std::getenv("KELMO_BENCH_DXF");
    return env ? env : (std::filesystem::temp_directory_path() / "kelmo_dxf_bench.dxf").string();
}

std::wstring wpath(const std::string& p) {
    return std::wstring(p.begin(), p.end());
}

Tags entityHead(const char* type, std::uint64_t& handle, const std::string& layer) {
    return Tags{{0, type}, {5, dxf::handleText(handle++)}, {100, "AcDbEntity"}, {8, layer}};
}

Tags attdef(std::uint64_t& h, const char* tag, double y) {
    Tags t = entityHead("ATTDEF", h, "0");
    t.insert(t.end(), {{100, "AcDbText"},
                       {10, "0.0"},
                       {20, dxf::formatDouble(y)},
                       {30, "0.0"},
                       {40, "0.25"},
                       {1, ""},
                       {100, "AcDbAttributeDefinition"},
                       {3, tag},
                       {2, tag},
                       {70, "0"}});
    return t;
}

// The drawing as DXF text, made once per process.
const std::string& drawing() {
    static const std::string text = [] {
        dxf::Document doc;
        std::uint64_t h = 0x100;
        doc.tables.push_back(dxf::Table{"LAYER", {{0, "TABLE"}, {2, "LAYER"}}, {}});
        for (const char* name : {"SPACES", "FURNITURE", "WALLS"})
            doc.table("LAYER")->records.push_back(Tags{{0, "LAYER"},
                                                       {100, "AcDbSymbolTableRecord"},
                                                       {100, "AcDbLayerTableRecord"},
                                                       {2, name},
                                                       {70, "0"},
                                                       {62, "7"},
                                                       {6, "Continuous"}});
        doc.tables.push_back(dxf::Table{"APPID", {{0, "TABLE"}, {2, "APPID"}}, {}});
        doc.table("APPID")->records.push_back(Tags{
            {0, "APPID"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbRegAppTableRecord"}, {2, "SPACEPLAN"}, {70, "0"}});
        dxf::Block space{{{0, "BLOCK"},
                          {5, dxf::handleText(h++)},
                          {100, "AcDbEntity"},
                          {8, "0"},
                          {100, "AcDbBlockBegin"},
                          {2, "SPACE"},
                          {70, "2"},
                          {10, "0.0"},
                          {20, "0.0"},
                          {30, "0.0"},
                          {3, "SPACE"}},
                         {},
                         {}};
        space.entities.push_back(attdef(h, "NAME", 0.0));
        space.entities.push_back(attdef(h, "NUMBER", -0.5));
        space.entities.push_back(attdef(h, "AREA", -1.0));
        doc.blocks.push_back(std::move(space));
        dxf::Block chair{{{0, "BLOCK"},
                          {5, dxf::handleText(h++)},
                          {100, "AcDbEntity"},
                          {8, "0"},
                          {100, "AcDbBlockBegin"},
                          {2, "CHAIR"},
                          {70, "0"},
                          {10, "0.0"},
                          {20, "0.0"},
                          {30, "0.0"},
                          {3, "CHAIR"}},
                         {},
                         {}};
        Tags outline = entityHead("LWPOLYLINE", h, "0");
        outline.insert(outline.end(), {{100, "AcDbPolyline"},
                                       {90, "4"},
                                       {70, "1"},
                                       {10, "0.0"},
                                       {20, "0.0"},
                                       {10, "0.5"},
                                       {20, "0.0"},
                                       {10, "0.5"},
                                       {20, "0.5"},
                                       {42, "0.4142135623730951"},
                                       {10, "0.0"},
                                       {20, "0.5"}});
        chair.entities.push_back(std::move(outline));
        doc.blocks.push_back(std::move(chair));
        for (int i = 0; i < 10000; ++i) {
            double x = (i % 100) * 12.0, y = (i / 100) * 9.0;
            std::uint64_t ins = h;
            Tags t = entityHead("INSERT", h, "SPACES");
            t.insert(t.end(), {{100, "AcDbBlockReference"},
                               {66, "1"},
                               {2, "SPACE"},
                               {10, dxf::formatDouble(x)},
                               {20, dxf::formatDouble(y)},
                               {30, "0.0"},
                               {1001, "SPACEPLAN"},
                               {1000, "OFFICE"},
                               {1070, std::to_string(i % 7)},
                               {1040, dxf::formatDouble(10.0 + i % 13)},
                               {1005, "0"}});
            doc.entities.push_back(std::move(t));
            const char* tags[] = {"NAME", "NUMBER", "AREA"};
            std::string values[] = {"Office " + std::to_string(i), std::to_string(1000 + i),
                                    dxf::formatDouble(10.5 + i % 40)};
            for (int a = 0; a < 3; ++a) {
                Tags at = entityHead("ATTRIB", h, "SPACES");
                at.insert(at.begin() + 2, Tag{330, dxf::handleText(ins)});
                at.insert(at.end(), {{100, "AcDbText"},
                                     {10, dxf::formatDouble(x)},
                                     {20, dxf::formatDouble(y - a * 0.5)},
                                     {30, "0.0"},
                                     {40, "0.25"},
                                     {1, values[a]},
                                     {100, "AcDbAttribute"},
                                     {2, tags[a]},
                                     {70, "0"}});
                doc.entities.push_back(std::move(at));
            }
            doc.entities.push_back(Tags{{0, "SEQEND"}, {5, dxf::handleText(h++)}, {100, "AcDbEntity"}, {8, "SPACES"}});
        }
        for (int i = 0; i < 50000; ++i) {
            Tags t = entityHead("INSERT", h, "FURNITURE");
            t.insert(t.end(), {{100, "AcDbBlockReference"},
                               {2, "CHAIR"},
                               {10, dxf::formatDouble((i % 250) * 4.8 + 0.7)},
                               {20, dxf::formatDouble((i / 250) * 4.5 + 0.3)},
                               {30, "0.0"},
                               {50, dxf::formatDouble((i % 4) * 90.0)}});
            doc.entities.push_back(std::move(t));
        }
        dxf::normalizeR2010(doc);
        std::string out;
        dxf::writeDocument(doc, out);
        std::ofstream(benchFile(), std::ios::binary) << out;
        return out;
    }();
    return text;
}

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Memory a loaded drawing holds, over the file's size (measured once, outside the timing).
double memoryRatio() {
    static const double ratio = [] {
        const std::string& text = drawing();
        std::wstring path = wpath(benchFile());
        ::malloc_trim(0);
        long before = residentKb();
        auto* db = new AcDbDatabase(false, true);
        db->readDxfFile(path.c_str());
        ::malloc_trim(0); // what the drawing holds, not what the reader freed
        long after = residentKb();
        delete db;
        return static_cast<double>(after - before) * 1024.0 / static_cast<double>(text.size());
    }();
    return ratio;
}

void BM_DxfLoad(benchmark::State& state) {
    const std::string& text = drawing();
    std::wstring path = wpath(benchFile());
    double memRatio = memoryRatio();
    for (auto _ : state) {
        auto* db = new AcDbDatabase(false, true);
        Acad::ErrorStatus es = db->readDxfFile(path.c_str());
        if (es != Acad::eOk) state.SkipWithError("load failed");
        state.PauseTiming();
        delete db;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["memory_per_file_byte"] = memRatio;
}
BENCHMARK(BM_DxfLoad)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_DxfSave(benchmark::State& state) {
    const std::string& text = drawing();
    AcDbDatabase db(false, true);
    if (db.readDxfFile(wpath(benchFile()).c_str()) != Acad::eOk) {
        state.SkipWithError("load failed");
        return;
    }
    std::wstring out = wpath(benchFile() + ".saved.dxf");
    for (auto _ : state)
        if (db.saveAs(out.c_str()) != Acad::eOk) state.SkipWithError("save failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DxfSave)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
