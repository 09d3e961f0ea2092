#pragma once
#include <string>

#include "engine/EngineContext.h"
#include "engine/FedAudio.h"

struct OutputFormatInfo;
class ConversionSettings;

/// Decodes a written output with the converter's own readers, as the format's row says: the decode
/// must end without damage, its length match what the encoder was fed, and for an exact format its
/// samples hash as the fed ones did. "" when the output passes, else why it does not.
std::string CheckOutput(EngineContext& engine, const std::string& path, const OutputFormatInfo& row,
                        const ConversionSettings& settings, const FedAudio& fed);
