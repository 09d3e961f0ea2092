#include <gtest/gtest.h>

#include <string>

#include "platform/Paths.h"

namespace {

struct PathCase {
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
};

TEST(Paths, FolderNameAndExtensionAgree) {
    // Naming, staging, source kinds and the folder search all split paths with these: a dot in a
    // folder name taken for an extension, or a folder with a stray "/", sends a file astray.
    const PathCase cases[] = {
        {"/music/song.MP3", "/music", "song.MP3", ".MP3"},  {"/music.d/song", "/music.d", "song", ""},
        {"/song.tar.gz", "/", "song.tar.gz", ".gz"},        {"song.wav", ".", "song.wav", ".wav"},
        {"/music/.hidden", "/music", ".hidden", ".hidden"}, {"/music/dir/", "/music/dir", "", ""},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(FolderPart(c.path), c.folder) << c.path;
        EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(ExtensionPart(c.path), c.extension) << c.path;
    }
    EXPECT_EQ(LowerAscii("Song.MP3\xC3\x89"), "song.mp3\xC3\x89");  // bytes beyond ASCII stay as they are
}

}  // namespace
