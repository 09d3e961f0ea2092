#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "sources/AudioSource.h"
#include "sources/WmaStaging.h"

class WmSyncReader;

/// Windows Media reader over the runtime's synchronous reader: the first audio stream as
/// 16-bit PCM, the header attributes as tags. Build it only while the runtime is loaded.
class WmaSource final : public AudioSource {
public:
    WmaSource();
    ~WmaSource() override;
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void* left, void* right) override;      // position: sample time in 100-ns units
    int ReadTags(TagSet& tags) override;

    std::size_t StagingCapacity() const { return m_staging.Capacity(); }

private:
    int ReadAttributes();

    std::unique_ptr<WmSyncReader> m_reader;
    bool m_readerOpened = false;
    std::uint16_t m_audioStream = 0;
    std::uint32_t m_audioOutput = 0;
    WmaStaging m_staging;
    std::string m_title, m_author, m_description, m_album, m_genre, m_year, m_copyright, m_composer;
    int m_trackNumber = 0;
};
