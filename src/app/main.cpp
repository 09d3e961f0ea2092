#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/AppTexts.h"
#include "app/DesktopActions.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/WindowLook.h"
#include "app/WindowUserInteraction.h"
#include "encoders/ConversionRoutines.h"
#include "engine/BatchDriver.h"
#include "engine/EngineContext.h"
#include "options/QtOptionsDialogs.h"
#include "options/RuntimeWmaFormats.h"
#include "options/ShowOptions.h"
#include "platform/FileUserStore.h"
#include "platform/Paths.h"
#include "platform/WmfRuntime.h"
#include "settings/ConversionSettings.h"
#include "sources/DecoderStartup.h"

namespace {

bool HaveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// Shuts the decoding libraries down on every way out.
struct DecoderSession {
    DecoderStartupResult result = StartDecodingLibraries(ExecutableFolder());
    ~DecoderSession() {
        if (result == DecoderStartupResult::Started) ShutDownDecodingLibraries();
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (!HaveDisplay()) {
        std::fprintf(stderr,
                     "wavelorn: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("wavelorn");
    QApplication::setDesktopFileName("wavelorn");
    QApplication::setStyle(new WindowStyle);

    DecoderSession decoders;
    if (decoders.result == DecoderStartupResult::WrongVersion) return 1;
    if (decoders.result == DecoderStartupResult::InitFailed) {
        QMessageBox::critical(nullptr, kWindowTitle, kDecoderInitFailedMessage);
        return 1;
    }

    QtDialogs dialogs;
    SystemDesktop desktop;
    WindowUserInteraction user(dialogs, desktop);
    WmfRuntime runtime;
    EngineContext engine(runtime, user);
    engine.SoundFontReady = LoadMidiSoundFont(ExecutableFolder());
    FileUserStore store(FileUserStore::DefaultPath());
    ConversionSettings settings;
    settings.LoadSettings(store);

    QtOptionsDialogs optionsDialogs;
    RuntimeWmaFormats wmaFormats(runtime, engine.wmaFormats);  // the sheet lists what the batch uses

    WindowServices services{
        settings,
        store,
        engine,
        dialogs,
        desktop,
        [&](BatchView& view) {
            return std::make_unique<BatchDriver>(engine, settings, view, &RoutineForFormat);
        },
        ExecutableFolder(),
        {},
        [&](QWidget* owner) { return ShowOptions(owner, settings, store, optionsDialogs, wmaFormats); }};
    MainWindow window(std::move(services));
    user.SetOwner(&window);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();

    // Files given on the command line ("Open with") arrive like a drop.
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i)
        given.push_back(
            QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath().toLocal8Bit().toStdString());
    if (!given.empty())
        QMetaObject::invokeMethod(
            &window, [&window, given] { window.AddDropped(given); }, Qt::QueuedConnection);
    return app.exec();
}
