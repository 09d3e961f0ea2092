#pragma once
#include <memory>
#include <string>

#include "engine/BatchDriver.h"
#include "engine/EngineContext.h"
#include "platform/UserStore.h"
#include "platform/WmfRuntime.h"
#include "settings/ConversionSettings.h"
#include "sources/DecoderStartup.h"

class BatchView;
class UserInteraction;

/// Everything a front end (the window or the command-line converter) converts with, built once per
/// process: the per-user store and the settings loaded from it, the decoding libraries (started by
/// StartDecoders, shut down with the session), the Windows Media runtime, the engine's state and the
/// routine of each output format.
class ConverterSession {
public:
    /// store: where the settings live; runtime: the Windows Media runtime loader (tests pass one that
    /// reports it missing). The settings are loaded from the store here.
    ConverterSession(std::unique_ptr<UserStore> store, UserInteraction& user,
                     std::unique_ptr<WmfRuntime> runtime = std::make_unique<WmfRuntime>());
    ~ConverterSession();
    ConverterSession(const ConverterSession&) = delete;
    ConverterSession& operator=(const ConverterSession&) = delete;

    /// Starts the decoding libraries from the program's folder and tries the MIDI SoundFont there
    /// once. Anything but Started means the program cannot decode and should end.
    DecoderStartupResult StartDecoders();

    UserStore& Store() { return *m_store; }
    ConversionSettings& Settings() { return m_settings; }
    EngineContext& Engine() { return m_engine; }
    WmfRuntime& Runtime() { return *m_runtime; }

    /// The routine that writes an OutputFormat code; null when this build has none.
    static ConversionRoutine RoutineFor(int outputFormat);

    /// How many files the settings convert at once: "Files converted at once", Auto being one per
    /// online processor.
    static int FilesAtOnce(const ConversionSettings& settings);

    /// A batch driver over this session's engine and settings, showing its work in view.
    BatchDriver MakeDriver(BatchView& view);
    /// The window's driver: as MakeDriver, converting as many files at once as the settings say now.
    std::unique_ptr<BatchDriver> MakeWindowDriver(BatchView& view);

    /// Overrides for tests: the folder of the SoundFont and the documents folder of output naming.
    BatchServices& Services() { return m_services; }

private:
    std::unique_ptr<UserStore> m_store;
    std::unique_ptr<WmfRuntime> m_runtime;
    ConversionSettings m_settings;
    EngineContext m_engine;
    BatchServices m_services;
    bool m_decodersStarted = false;
};
