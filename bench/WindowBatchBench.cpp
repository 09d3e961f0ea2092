// The window's batch: six 60-second stereo WAVs to MP3 through Convert All, N files at once.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "WindowDoubles.h"
#include "app/MainWindow.h"
#include "app/WindowUserInteraction.h"
#include "host/ConverterSession.h"
#include "platform/MemoryUserStore.h"
#include "settings/ConversionSettings.h"
#include "sources/DecoderStartup.h"
namespace {

using bench::NoDesktop;
using bench::SilentDialogs;

constexpr int kFiles = 6;
constexpr std::uint32_t kSeconds = 60, kRate = 44100;

QApplication& App() {
    static int argc = 1;
    static char name[] = "WindowBatchBench";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never destroyed: at exit it would outlive Qt's thread storage and crash in its destructor.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Six tones of different pitch (so no two encode alike), made once per process.
struct Sources {
    std::string dir;
    std::vector<std::string> paths;
    Sources() {
        std::string pattern = (std::filesystem::temp_directory_path() / "wavelorn-batch-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        dir = pattern;
        const std::uint32_t frames = kSeconds * kRate, data = frames * 4;
        std::vector<char> wav(44 + data, 0);
        auto le = [&](std::size_t at, std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i) wav[at + i] = static_cast<char>(v >> (8 * i));
        };
        std::memcpy(wav.data(), "RIFF", 4);
        le(4, 36 + data, 4);
        std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
        le(16, 16, 4), le(20, 1, 2), le(22, 2, 2), le(24, kRate, 4), le(28, kRate * 4, 4), le(32, 4, 2);
        le(34, 16, 2);
        std::memcpy(wav.data() + 36, "data", 4);
        le(40, data, 4);
        for (int f = 0; f < kFiles; ++f) {
            for (std::uint32_t i = 0; i < frames; ++i) {
                const auto s = static_cast<std::uint16_t>(
                    static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * (220.0 + 110 * f) * i / kRate)));
                le(44 + i * 4, s, 2), le(46 + i * 4, s, 2);
            }
            paths.push_back(dir + "/take" + std::to_string(f) + ".wav");
            std::ofstream(paths.back(), std::ios::binary)
                .write(wav.data(), static_cast<std::streamsize>(wav.size()));
        }
    }
    ~Sources() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};

void BM_WindowBatch(benchmark::State& state) {
    App();
    static Sources sources;
    SilentDialogs dialogs;
    NoDesktop desktop;
    WindowUserInteraction user{dialogs, desktop};
    ConverterSession session{std::make_unique<MemoryUserStore>(), user};
    if (session.StartDecoders() != DecoderStartupResult::Started) {
        state.SkipWithError("decoders did not start");
        return;
    }
    ConversionSettings& s = session.Settings();
    s = ConversionSettings("");
    s.OutputFormat = 1000;
    s.DestOutputFolderOpt = 399;
    s.DestSpecifiedFolder = sources.dir + "/out";
    s.TargetExistsOpt = 22;
    s.BrowseOutputFolder = 0;
    s.FilesAtOnce = static_cast<int>(state.range(0));
    MainWindow window(WindowServices{s,
                                     session.Store(),
                                     session.Engine(),
                                     dialogs,
                                     desktop,
                                     [&](BatchView& view) { return session.MakeWindowDriver(view); },
                                     "",
                                     {},
                                     {}});
    window.show();
    window.AddFiles(sources.paths);
    for (auto _ : state) window.OnConvertAll();
    state.counters["files"] = window.Model().rowCount();
}
BENCHMARK(BM_WindowBatch)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
