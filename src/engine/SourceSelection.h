#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineContext.h"
#include "engine/ReaderSet.h"
#include "engine/SourceKind.h"
#include "sources/AudioSource.h"

/// The kind of a file by the extension of its name (the part after the last "/"): from the last
/// "." to the end, lower-cased, compared exactly; a name without a dot is kKindOther.
SourceKind SourceKindFromExtension(const std::string& path);

/// The readers tried for a kind, in order, whether or not the set has them. Windows Media files
/// are read like MPEG audio while the runtime is missing.
std::vector<ReaderRole> ReaderChain(SourceKind kind, bool forConversion, bool wmfRuntimeLoaded);

/// Opens `path` with the first reader of its chain that accepts it; the caller owns the result
/// and closes it. renderRate is the rate for synthesised sources (0 when probing). A conversion
/// that no reader serves leaves the support hint in FailureDetail. Windows Media files load the
/// runtime on demand and, while it is missing, ask the user about the download at every call.
std::unique_ptr<AudioSource> OpenSource(EngineContext& context, const std::string& path, SourceKind kind,
                                        int renderRate, bool forConversion);

/// Loads the Windows Media runtime when needed; while it stays missing, offers the download.
/// True when loaded.
bool EnsureWmfRuntime(EngineContext& context);

/// After a file could not be added: leaves the note for CD tracks and Flash files in
/// FailureDetail; other files leave it untouched.
void NoteProbeFailure(EngineContext& context, const std::string& path, SourceKind kind);
