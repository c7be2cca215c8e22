// Load and save speed of DXF drawings: a floor plan of 10,000 space blocks (three attributes and
// extended data each) among 50,000 other inserts. Reported as MB/s; the memory a loaded drawing
// takes is reported against the file's size. bench/dxf_ezdxf_compare.py sets it against ezdxf.
#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDocument.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>
#include <map>
#include <optional>
#include <vector>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

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

// A floor plan as users keep them: every space its own block definition ("ROOM-1" ...) holding its
// boundary (some bulged, some L-shaped) and NAME/AREA/AUX attribute definitions, inserted once with
// its attributes and extended data, and four furniture inserts a space of a few shared blocks.
std::string roomPlan(int rooms) {
    dxf::Document doc;
    std::uint64_t h = 0x100;
    doc.tables.push_back(dxf::Table{"LAYER", {{0, "TABLE"}, {2, "LAYER"}}, {}});
    for (const char* name : {"SPACES", "FURNITURE", "LABELS"})
        doc.table("LAYER")->records.push_back(Tags{{0, "LAYER"},
                                                   {5, dxf::handleText(h++)},
                                                   {100, "AcDbSymbolTableRecord"},
                                                   {100, "AcDbLayerTableRecord"},
                                                   {2, name},
                                                   {70, "0"},
                                                   {62, "7"},
                                                   {6, "Continuous"}});
    doc.tables.push_back(dxf::Table{"APPID", {{0, "TABLE"}, {2, "APPID"}}, {}});
    doc.table("APPID")->records.push_back(Tags{{0, "APPID"},
                                               {5, dxf::handleText(h++)},
                                               {100, "AcDbSymbolTableRecord"},
                                               {100, "AcDbRegAppTableRecord"},
                                               {2, "ADE"},
                                               {70, "0"}});
    auto blockBegin = [&](const std::string& name) {
        return Tags{{0, "BLOCK"},
                    {5, dxf::handleText(h++)},
                    {100, "AcDbEntity"},
                    {8, "0"},
                    {100, "AcDbBlockBegin"},
                    {2, name},
                    {70, "0"},
                    {10, "0.0"},
                    {20, "0.0"},
                    {30, "0.0"},
                    {3, name},
                    {1, ""}};
    };
    auto polyline = [&](const std::vector<std::pair<double, double>>& pts, double bulge, const char* layer) {
        Tags t = entityHead("LWPOLYLINE", h, layer);
        t.insert(t.end(), {{100, "AcDbPolyline"}, {90, std::to_string(pts.size())}, {70, "1"}, {43, "0.0"}});
        for (std::size_t i = 0; i < pts.size(); ++i) {
            t.push_back(Tag{10, dxf::formatDouble(pts[i].first)});
            t.push_back(Tag{20, dxf::formatDouble(pts[i].second)});
            if (bulge != 0 && i == 1) t.push_back(Tag{42, dxf::formatDouble(bulge)});
        }
        return t;
    };
    const char* furniture[] = {"DESK", "CHAIR", "CABINET", "TABLE"};
    for (const char* name : furniture) {
        dxf::Block b{blockBegin(name), {}, {}};
        b.entities.push_back(polyline({{0, 0}, {1.2, 0}, {1.2, 0.6}, {0, 0.6}}, 0, "0"));
        doc.blocks.push_back(std::move(b));
    }
    const char* labels[] = {"NAME", "AREA", "AUX"};
    for (int i = 1; i <= rooms; ++i) {
        const std::string name = "ROOM-" + std::to_string(i);
        const double x = ((i - 1) % 100) * 8.0, y = ((i - 1) / 100) * 8.0;
        dxf::Block b{blockBegin(name), {}, {}};
        if (i % 7 == 0) // an L-shaped space
            b.entities.push_back(polyline({{0, 0}, {7, 0}, {7, 3}, {3.5, 3}, {3.5, 7}, {0, 7}}, 0, "SPACES"));
        else
            b.entities.push_back(polyline({{0, 0}, {7, 0}, {7, 7}, {0, 7}}, i % 5 == 0 ? 0.25 : 0, "SPACES"));
        for (int a = 0; a < 3; ++a) b.entities.push_back(attdef(h, labels[a], 3.0 - a * 0.5));
        doc.blocks.push_back(std::move(b));
        std::uint64_t ins = h;
        Tags t = entityHead("INSERT", h, "SPACES");
        t.insert(t.end(), {{100, "AcDbBlockReference"},
                           {66, "1"},
                           {2, name},
                           {10, dxf::formatDouble(x)},
                           {20, dxf::formatDouble(y)},
                           {30, "0.0"},
                           {1001, "ADE"},
                           {1002, "{"},
                           {1000, "AREA=49.00sq.m."},
                           {1000, "PERIMETER=28.00m."},
                           {1000, "NAME=R" + std::to_string(i)},
                           {1000, "TAGTYPE=<Not Set>"},
                           {1000, "AREA_TYPE=Office"},
                           {1002, "}"}});
        doc.entities.push_back(std::move(t));
        const std::string values[] = {"R" + std::to_string(i), "49.00sq.m.", "Office"};
        for (int a = 0; a < 3; ++a) {
            Tags at = entityHead("ATTRIB", h, "LABELS");
            at.insert(at.begin() + 2, Tag{330, dxf::handleText(ins)});
            at.insert(at.end(), {{100, "AcDbText"},
                                 {10, dxf::formatDouble(x + 0.5)},
                                 {20, dxf::formatDouble(y + 3.0 - a * 0.5)},
                                 {30, "0.0"},
                                 {40, "0.25"},
                                 {1, values[a]},
                                 {100, "AcDbAttribute"},
                                 {2, labels[a]},
                                 {70, "0"}});
            doc.entities.push_back(std::move(at));
        }
        doc.entities.push_back(Tags{{0, "SEQEND"}, {5, dxf::handleText(h++)}, {100, "AcDbEntity"}, {8, "LABELS"}});
        for (int f = 0; f < 4; ++f) {
            Tags fi = entityHead("INSERT", h, "FURNITURE");
            fi.insert(fi.end(), {{100, "AcDbBlockReference"},
                                 {2, furniture[(i + f) % 4]},
                                 {10, dxf::formatDouble(x + 1 + f * 1.5)},
                                 {20, dxf::formatDouble(y + 5)},
                                 {30, "0.0"},
                                 {50, dxf::formatDouble((f % 2) * 90.0)}});
            doc.entities.push_back(std::move(fi));
        }
    }
    dxf::normalizeR2010(doc);
    std::string out;
    dxf::writeDocument(doc, out);
    return out;
}

std::string planFile(int rooms) {
    return benchFile() + ".plan" + std::to_string(rooms) + ".dxf";
}

// The plan of so many rooms, written once per process.
std::size_t writePlan(int rooms) {
    static std::map<int, std::size_t> sizes;
    auto it = sizes.find(rooms);
    if (it != sizes.end()) return it->second;
    std::string text = roomPlan(rooms);
    std::ofstream(planFile(rooms), std::ios::binary) << text;
    return sizes[rooms] = text.size();
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
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak to the current size
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

long peakKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// What a fresh process of this program measures for `inChild` (see main): "load" gives what it held
// before loading the file, its peak and what it holds after; "save" what it held before, the load's peak
// and the peak of the save that follows. In kilobytes.
std::array<long, 3> measureHere(const std::string& what, const std::string& file) {
    long before = residentKb();
    auto* db = new AcDbDatabase(false, true);
    db->readDxfFile(wpath(file).c_str());
    long loaded = peakKb();
    if (what == "load") {
        ::malloc_trim(0);
        return {before, loaded, residentKb()};
    }
    db->saveAs(wpath(file + ".child.dxf").c_str());
    return {before, loaded, peakKb()};
}

// Measures the file in a new process of this program, as a host opening the drawing would be: a fork
// of this one would start from a heap the plans it made have shaped. Nothing when the child failed.
std::optional<std::array<long, 3>> inChild(const std::string& what, const std::string& file) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::dup2(fds[1], STDOUT_FILENO) < 0) ::_exit(1);
        ::execl("/proc/self/exe", "bench_dxf_io", "--measure", what.c_str(), file.c_str(), nullptr);
        ::_exit(1);
    }
    ::close(fds[1]);
    std::string text;
    char buf[256];
    for (ssize_t n; child > 0 && (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    std::array<long, 3> in{};
    std::istringstream figures(text);
    if (child <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !(figures >> in[0] >> in[1] >> in[2]))
        return std::nullopt;
    return in;
}

// The peak the load of one file reaches above what the process held before it, and what the loaded
// drawing holds, both over the file's size.
std::pair<double, double> memoryRatios(const std::string& file, std::size_t bytes) {
    const auto in = inChild("load", file);
    if (!in) return {0, 0};
    const double size = static_cast<double>(bytes);
    return {static_cast<double>((*in)[1] - (*in)[0]) * 1024.0 / size,
            static_cast<double>((*in)[2] - (*in)[0]) * 1024.0 / size};
}

// Loading the room plan of 5,000, 10,000 and 20,000 spaces: the time must grow with the file.
void BM_PlanLoad(benchmark::State& state) {
    const int rooms = static_cast<int>(state.range(0));
    const std::size_t bytes = writePlan(rooms);
    const std::string file = planFile(rooms);
    const auto [peak, held] = memoryRatios(file, bytes);
    for (auto _ : state) {
        auto* db = new AcDbDatabase(false, true);
        if (db->readDxfFile(wpath(file).c_str()) != Acad::eOk) state.SkipWithError("load failed");
        state.PauseTiming();
        delete db;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_per_file_byte"] = peak;
    state.counters["held_per_file_byte"] = held;
}
BENCHMARK(BM_PlanLoad)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// The peak a save reaches over the peak its load reached, both above what the process held before the
// load: saving should add little to what the open drawing holds.
double savePeakRatio(const std::string& file) {
    const auto in = inChild("save", file);
    if (!in || (*in)[1] <= (*in)[0]) return 0;
    return static_cast<double>((*in)[2] - (*in)[0]) / static_cast<double>((*in)[1] - (*in)[0]);
}

// Saving the room plans: the time must grow with the file, and the peak stay near the load's.
void BM_PlanSave(benchmark::State& state) {
    const int rooms = static_cast<int>(state.range(0));
    const std::size_t bytes = writePlan(rooms);
    const double peakRatio = savePeakRatio(planFile(rooms));
    AcDbDatabase db(false, true);
    if (db.readDxfFile(wpath(planFile(rooms)).c_str()) != Acad::eOk) {
        state.SkipWithError("load failed");
        return;
    }
    std::wstring out = wpath(planFile(rooms) + ".saved.dxf");
    for (auto _ : state)
        if (db.saveAs(out.c_str()) != Acad::eOk) state.SkipWithError("save failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["save_peak_over_load_peak"] = peakRatio;
}
BENCHMARK(BM_PlanSave)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

} // namespace

// "--measure load|save FILE": the child of `inChild`, which prints its three figures. It holds the
// allocator's thresholds as cadhost does.
int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--measure") {
        ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        const std::array<long, 3> figures = measureHere(argv[2], argv[3]);
        std::printf("%ld %ld %ld\n", figures[0], figures[1], figures[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
