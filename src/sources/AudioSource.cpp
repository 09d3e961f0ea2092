#include "sources/AudioSource.h"

void AudioSource::ResetCommon() {
    m_totalLength = 0;
    m_position = 0;
    m_duration = 0;
    m_sampleRate = 0;
    m_channels = 0;
    m_outputChannels = 0;
    m_bitsPerSample = 0;
    m_bytesPerSample = 0;
    m_bitrate = 0;
    m_channelMode = 4;
    m_videoWidth = 0;
    m_videoHeight = 0;
    m_videoFrameRate = 0.0;
}
