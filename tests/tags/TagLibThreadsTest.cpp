#include <gtest/gtest.h>
#include <taglib/asftag.h>
#include <taglib/mp4tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tags/FullTags.h"

namespace {

// What one thread sees of the tables TagLib fills on first use.
struct Seen {
    unsigned people = 0;
    unsigned asf = 0;
    unsigned mp4 = 0;
    bool operator==(const Seen&) const = default;
};

Seen Look() {
    TagLib::PropertyMap fields;
    for (const char* key : {"ALBUM", "ALBUMARTIST", "ALBUMSORT", "MUSICBRAINZ_ALBUMID", "DISCNUMBER"})
        fields[key] = TagLib::StringList(TagLib::String("1"));
    TagLib::ASF::Tag asf;
    asf.setProperties(fields);
    TagLib::MP4::Tag mp4;
    mp4.setProperties(fields);
    return {TagLib::ID3v2::TextIdentificationFrame::involvedPeopleMap().size(), asf.properties().size(),
            mp4.properties().size()};
}

TEST(TagLibTables, ThreadsStartingTogetherSeeThemWhole) {
    // TagLib fills these without a lock; unless they were filled before the threads, about one run
    // in three gave some thread a half-filled people list. (Reading nothing keeps the tags code linked.)
    EXPECT_TRUE(ReadFullTags("/nonexistent/none.mp3").fields.empty());
    std::atomic<int> waiting{8};
    std::vector<Seen> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] {
            --waiting;
            while (waiting > 0) {
            }
            seen[i] = Look();
        });
    for (std::thread& t : threads) t.join();
    const Seen whole = Look();
    EXPECT_EQ(whole.asf, 5u);
    EXPECT_EQ(whole.mp4, 5u);
    for (const Seen& s : seen) EXPECT_TRUE(s == whole);
}

}  // namespace
