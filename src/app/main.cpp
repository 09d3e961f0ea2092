#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/AppTexts.h"
#include "app/DesktopActions.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/WindowLook.h"
#include "app/WindowUserInteraction.h"
#include "engine/BatchDriver.h"
#include "engine/EngineContext.h"
#include "host/ConverterSession.h"
#include "host/Versions.h"
#include "host/WindowOptions.h"
#include "options/QtOptionsDialogs.h"
#include "options/QtText.h"
#include "options/RuntimeWmaFormats.h"
#include "options/ShowOptions.h"
#include "platform/FileUserStore.h"
#include "platform/Paths.h"
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

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    switch (WindowRequestOf(std::vector<std::string>(argv + 1, argv + argc))) {
        case WindowRequest::Help:
            std::fputs(WindowUsage().c_str(), stdout);
            return 0;
        case WindowRequest::Version:
            std::fputs(VersionText("wavelorn", {{"Qt", qVersion()}}).c_str(), stdout);
            return 0;
        case WindowRequest::Run:
            break;
    }
    if (!HaveDisplay()) {
        std::fprintf(stderr,
                     "wavelorn: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    // Past a file-size limit a write must fail like a full disk (and the staged file go), not kill us.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName("wavelorn");
    QApplication::setApplicationVersion(WavelornVersion());
    // The desktop entry's name, so the window manager groups the window with its entry.
    QApplication::setDesktopFileName(kDesktopId);
    QApplication::setStyle(new WindowStyle);

    QtDialogs dialogs;
    SystemDesktop desktop;
    WindowUserInteraction user(dialogs, desktop);
    ConverterSession session(std::make_unique<FileUserStore>(FileUserStore::DefaultPath()), user);
    const DecoderStartupResult started = session.StartDecoders();
    if (started == DecoderStartupResult::WrongVersion) return 1;
    if (started == DecoderStartupResult::InitFailed) {
        QMessageBox::critical(nullptr, kWindowTitle, kDecoderInitFailedMessage);
        return 1;
    }

    const std::unique_ptr<OptionsDialogs> optionsDialogs = MakeOptionsDialogs(desktop, dialogs);
    RuntimeWmaFormats wmaFormats(session.Runtime(),
                                 session.Engine().shared.wmaFormats);  // what the batch uses
    ConversionSettings& settings = session.Settings();
    WindowServices services{settings,
                            session.Store(),
                            session.Engine(),
                            dialogs,
                            desktop,
                            [&](BatchView& view) { return session.MakeWindowDriver(view); },
                            ProgramDataFolder(),
                            {},
                            [&](QWidget* owner) {
                                return ShowOptions(owner, settings, session.Store(), *optionsDialogs,
                                                   wmaFormats);
                            }};
    MainWindow window(std::move(services));
    user.SetOwner(&window);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();

    // Files given on the command line ("Open with") arrive like a drop.
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i)
        given.push_back(ToSystemText(QFileInfo(FromSystemText(argv[i])).absoluteFilePath()));
    if (!given.empty())
        QMetaObject::invokeMethod(
            &window, [&window, given] { window.AddDropped(given); }, Qt::QueuedConnection);
    return app.exec();
}
