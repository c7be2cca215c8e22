// Colouring every room of a floor plan (one block definition per room, five desks each): "magr" with
// one category of every room ("*") and "msc_has", and listing every room with its desks ("mlb"), on
// 5,000, 10,000 and 20,000 rooms. Each run is set against opening and saving the same plan just before
// it (counter "per_open_save": it should stay within 2); doubling the rooms should at most about
// double each time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "BenchPlans.h"
#include "cad/app/ApDocument.h"
#include "cad/db/AcDbDatabase.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"
#include "commands/Brenvik.h"
#include "win/Paths.h"
#include "win/UiSink.h"

namespace {

namespace fs = std::filesystem;

fs::path folder() {
    static const fs::path made = [] {
        const fs::path path = fs::temp_directory_path() / "kelmo_report_colouring_bench";
        fs::create_directories(path / "c");
        win::setCDrive((path / "c").string());
        g_hostDirectory = L"C:\\CadHost";
        return path;
    }();
    return made;
}

// The plan of so many rooms, written once per process.
const std::wstring& plan(int rooms) {
    static std::map<int, std::wstring> written;
    auto found = written.find(rooms);
    if (found != written.end()) return found->second;
    const fs::path file = folder() / ("plan" + std::to_string(rooms) + ".dxf");
    const std::wstring path = win::nativeToWindows(file.string());
    bench_plans::writeRoomPlan(path, {rooms, 5, 5000.0, 5000.0 - 100, L"25.00sq.m.", L"20.00m."});
    return written.emplace(rooms, path).first->second;
}

// A report of one category holding every room.
std::wstring everyRoomReport(int rooms) {
    const fs::path file = folder() / ("every" + std::to_string(rooms) + ".xml");
    std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>1</grID>"
                           "<grTitle>Every room</grTitle><grTotalChildAreas>"
                        << rooms * 25
                        << "</grTotalChildAreas><categories><category><cID>1</cID><cTitle>Rooms</cTitle>"
                           "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#D9822B</cHatchColour>"
                           "<cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>R-ROOMS"
                           "</cHatchLayer><kelmoBlocks><kelmoBlock><mbHandle>*</mbHandle></kelmoBlock>"
                           "</kelmoBlocks></category></categories></graphicReport>\n";
    return win::nativeToWindows(file.string());
}

// Answers the file dialog with the report.
struct ReportChooser : win::UiSink {
    std::wstring report;
    bool chooseFile(const win::FileDialogRequest&, std::wstring& path) override {
        path = report;
        return true;
    }
};

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

AcApDocument* open(benchmark::State& state, const std::wstring& path) {
    if (acDocManager->appContextOpenDocument(path.c_str()) != Acad::eOk) {
        state.SkipWithError("plan not opened");
        return nullptr;
    }
    return acDocManager->curDocument();
}

// Opening the plan and saving it, as "OPEN" and "SAVE" do.
double openAndSave(benchmark::State& state, const std::wstring& path) {
    const auto start = std::chrono::steady_clock::now();
    AcApDocument* document = open(state, path);
    if (!document) return 0.0;
    const std::wstring saved = win::nativeToWindows((folder() / "saved.dxf").string());
    if (document->database()->saveAs(saved.c_str()) != Acad::eOk) state.SkipWithError("plan not saved");
    acDocManager->closeDocument(document);
    return since(start);
}

void BM_OpenAndSave(benchmark::State& state) {
    const std::wstring& path = plan(static_cast<int>(state.range(0)));
    for (auto _ : state) openAndSave(state, path);
}

// How often a text occurs in the command line.
int occurrences(const std::wstring& text, const std::wstring& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Runs the command on a freshly opened plan, timed alone, against opening and saving just before; the
// command has done its work when the command line shows `done` (`times` times).
template <class Command>
void colour(benchmark::State& state, Command command, const wchar_t* done, int times = 1) {
    const int rooms = static_cast<int>(state.range(0));
    const std::wstring& path = plan(rooms);
    ReportChooser chooser;
    chooser.report = everyRoomReport(rooms);
    win::UiSinkScope answering(&chooser);
    double baseline = 0.0;
    double spent = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        baseline += openAndSave(state, path);
        AcApDocument* document = open(state, path);
        if (!document) return;
        ed::commandLine().clear();
        ed::input().clear();
        // Enter for every prompt that asks how to draw the legend and pie without markers.
        for (int i = 0; i < 6; ++i) ed::input().queue(L"");
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        command();
        spent += since(start);
        state.PauseTiming();
        if (occurrences(ed::commandLine().text(), done) < times) state.SkipWithError("not every room done");
        acDocManager->closeDocument(document);
        state.ResumeTiming();
    }
    state.counters["per_open_save"] = spent / baseline;
    state.counters["seconds"] = spent / static_cast<double>(state.iterations());
}

void BM_ApplyEveryRoomReport(benchmark::State& state) {
    colour(state, applyGraphicReport, L"graphic report successfully applied.");
}

void BM_HatchAllSpaces(benchmark::State& state) {
    const std::wstring done = std::to_wstring(state.range(0)) + L" block(s) hatched";
    colour(state, hatchAllSpaces, done.c_str());
}

// Every room listed with its five desks, each desk found on the room's own layout.
void BM_ListBlocks(benchmark::State& state) {
    colour(state, listBlockNameIdentifier, L",5\n", static_cast<int>(state.range(0)));
}

} // namespace

BENCHMARK(BM_OpenAndSave)->Unit(benchmark::kMillisecond)->Arg(5000)->Arg(10000)->Arg(20000)->Iterations(2);
BENCHMARK(BM_ApplyEveryRoomReport)->Unit(benchmark::kMillisecond)->Arg(5000)->Arg(10000)->Arg(20000)->Iterations(2);
BENCHMARK(BM_HatchAllSpaces)->Unit(benchmark::kMillisecond)->Arg(5000)->Arg(10000)->Arg(20000)->Iterations(2);
BENCHMARK(BM_ListBlocks)->Unit(benchmark::kMillisecond)->Arg(5000)->Arg(10000)->Arg(20000)->Iterations(2);

BENCHMARK_MAIN();
