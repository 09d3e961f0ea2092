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
        const std::uint32_t frames = kSeconds * kRate;
        std::vector<char> wav = bench::SilentWav16(kRate, 2, frames);
        for (int f = 0; f < kFiles; ++f) {
            for (std::uint32_t i = 0; i < frames; ++i) {
                const auto s = static_cast<std::uint16_t>(
                    static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * (220.0 + 110 * f) * i / kRate)));
                bench::PutLe(wav, 44 + i * 4, s, 2), bench::PutLe(wav, 46 + i * 4, s, 2);
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
