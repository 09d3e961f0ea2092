// The window's file list: listing 10,000 small WAV files through AddFiles (probe, duplicate check,
// row, progress window), sorting 10,000 rows by each column, and the memory those rows take.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "WindowDoubles.h"
#include "app/MainWindow.h"
#include "app/WindowUserInteraction.h"
#include "engine/EngineContext.h"
#include "platform/MemoryUserStore.h"
#include "platform/WmfRuntime.h"
#include "settings/ConversionSettings.h"
#include "sources/DecoderStartup.h"
namespace {

using bench::NoDesktop;
using bench::SilentDialogs;

constexpr int kRows = 10000;

QApplication& App() {
    static int argc = 1;
    static char name[] = "FileListBench";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never destroyed: at exit it would outlive Qt's thread storage and crash in its destructor.
    static QApplication* app = new QApplication(argc, argv);
    static const bool started = StartDecodingLibraries() == DecoderStartupResult::Started;
    (void)started;
    return *app;
}

// 10,000 WAV files of 100 mono frames, made once per process.
const std::vector<std::string>& WavFiles() {
    static struct Files {
        std::string dir;
        std::vector<std::string> paths;
        Files() {
            std::string pattern = (std::filesystem::temp_directory_path() / "wavelorn-list-XXXXXX").string();
            if (!mkdtemp(pattern.data())) return;
            dir = pattern;
            const std::vector<char> wav = bench::SilentWav16(8000, 1, 100);
            for (int i = 0; i < kRows; ++i) {
                paths.push_back(dir + "/take" + std::to_string(i) + ".wav");
                std::ofstream(paths.back(), std::ios::binary)
                    .write(wav.data(), static_cast<std::streamsize>(wav.size()));
            }
        }
        ~Files() {
            std::error_code ec;
            if (!dir.empty()) std::filesystem::remove_all(dir, ec);
        }
    } files;
    return files.paths;
}

struct Window {
    MemoryUserStore store;
    SilentDialogs dialogs;
    NoDesktop desktop;
    WindowUserInteraction user{dialogs, desktop};
    WmfRuntime runtime;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    std::unique_ptr<MainWindow> window;
    explicit Window(FileListModel::Prober probe = {}) {
        auto key = store.CreateKey(ConversionSettings::kOptionsKey);
        key->SetDword("FirstRun", 0);
        key->Close();
        window = std::make_unique<MainWindow>(
            WindowServices{settings, store, engine, dialogs, desktop, {}, "", std::move(probe), {}});
        window->show();
    }
};

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

void BM_AddFilesToWindow(benchmark::State& state) {
    App();
    const auto& files = WavFiles();
    for (auto _ : state) {
        Window w;
        const long before = ResidentKiB();
        w.window->AddFiles(files);
        state.counters["rows"] = w.window->Model().rowCount();
        state.counters["rowsKiB"] = static_cast<double>(ResidentKiB() - before);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_AddFilesToWindow)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The probing alone, to tell the decoders' share from the window's.
void BM_ProbeOnly(benchmark::State& state) {
    App();
    const auto& files = WavFiles();
    SilentDialogs dialogs;
    NoDesktop desktop;
    WindowUserInteraction user{dialogs, desktop};
    WmfRuntime runtime;
    EngineContext engine{runtime, user};
    for (auto _ : state)
        for (const auto& f : files) benchmark::DoNotOptimize(ProbeFile(engine, f));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}
BENCHMARK(BM_ProbeOnly)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rows with varied cells, probed by a stand-in so only the sort is timed.
void BM_SortColumn(benchmark::State& state) {
    App();
    const int column = static_cast<int>(state.range(0));
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    Window w([&](const std::string& path) {
        FileEntry e;
        e.path = path;
        e.kind = 2000;
        e.duration = static_cast<int>(next() % 5000);
        e.bitrate = static_cast<int>(next() % 1500);
        e.sampleRate = static_cast<int>(next() % 96000);
        e.channels = 1 + static_cast<int>(next() % 6);
        return std::optional<FileEntry>(e);
    });
    for (int i = 0; i < kRows; ++i)
        w.window->Model().AddFile("/music/track " + std::to_string(next() % 100000) + " " +
                                  std::to_string(i) + ".wav");
    for (int r = 0; r < kRows; r += 3) w.window->Model().SetStatus(r, "track " + std::to_string(r) + ".mp3");
    for (auto _ : state) w.window->SortByColumn(column);  // alternates ascending and descending
}
BENCHMARK(BM_SortColumn)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
