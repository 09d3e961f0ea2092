#include "host/ConverterSession.h"

#include <unistd.h>

#include <algorithm>

#include "encoders/ConversionRoutines.h"
#include "encoders/LoudnessTags.h"
#include "platform/UserFolders.h"

ConverterSession::ConverterSession(std::unique_ptr<UserStore> store, UserInteraction& user,
                                   std::unique_ptr<WmfRuntime> runtime)
    : m_store(std::move(store)),
      m_runtime(std::move(runtime)),
      m_settings(DocumentsFolder(true)),  // output goes there by default, so it is made at start
      m_engine(*m_runtime, user) {
    m_settings.LoadSettings(*m_store);
    m_services.routines = &RoutineForFormat;
    m_services.albumKey = &AlbumKeyOf;
    m_services.writeAlbumTags = &WriteAlbumLoudnessTags;
}

ConverterSession::~ConverterSession() {
    if (m_decodersStarted) ShutDownDecodingLibraries();
}

DecoderStartupResult ConverterSession::StartDecoders() {
    if (m_decodersStarted) return DecoderStartupResult::Started;
    const DecoderStartupResult result = StartDecodingLibraries(m_services.programFolder);
    m_decodersStarted = result == DecoderStartupResult::Started;
    if (m_decodersStarted)
        m_engine.shared.SoundFontReady = m_services.loadSoundFont(m_services.programFolder);
    return result;
}

ConversionRoutine ConverterSession::RoutineFor(int outputFormat) {
    return RoutineForFormat(outputFormat);
}

int ConverterSession::FilesAtOnce(const ConversionSettings& settings) {
    if (settings.FilesAtOnce > 0) return settings.FilesAtOnce;
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(std::min(n, 256L)) : 1;
}

BatchDriver ConverterSession::MakeDriver(BatchView& view) {
    return BatchDriver(m_engine, m_settings, view, m_services);
}

std::unique_ptr<BatchDriver> ConverterSession::MakeWindowDriver(BatchView& view) {
    BatchServices services = m_services;
    services.jobs = FilesAtOnce(m_settings);
    return std::make_unique<BatchDriver>(m_engine, m_settings, view, std::move(services));
}
