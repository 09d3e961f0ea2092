#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/FileUserStore.h"
#include "platform/MemoryUserStore.h"
#include "platform/RegFile.h"
#include "support/TestSupport.h"

namespace {

const std::string kKey = "Software\\Quillmark\\Wavelorn\\Options";

std::string ReadString(const StoreKey& key, const std::string& name) {
    char buf[4096];
    std::uint32_t size = sizeof buf;
    if (!key.ReadValue(name, buf, &size)) return "<missing>";
    return std::string(buf, size);
}

std::string ReadText(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    testsupport::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(RegFile, TextsThatNeedEscapesSurviveFormatAndParse) {
    // An escape missing from the writer or reader corrupts texts or splits a value over lines.
    const std::string texts[] = {"plain",
                                 "quote \" inside",
                                 "back\\slash and \\n literally",
                                 "C:\\dir\\",
                                 "line\nbreak and\r\nCRLF",
                                 "\xc3\xa9t\xc3\xa9 \xe2\x99\xab Stra\xdf"
                                 "e",
                                 "\"",
                                 "",
                                 "\\",
                                 "ends with newline\n",
                                 "tab\tand ; semicolon = equals [bracket]"};
    RegFile file;
    StoreValues values;
    for (std::size_t i = 0; i < std::size(texts); ++i)
        values.emplace_back("v" + std::to_string(i), StoreValue{kRegSz, texts[i] + '\0'});
    values.emplace_back("name with \"quote\" and \\", StoreValue{kRegSz, std::string("x\0", 2)});
    values.emplace_back("embedded zero", StoreValue{kRegSz, std::string("a\0b\0", 4)});
    values.emplace_back("no terminator", StoreValue{kRegSz, "abc"});
    values.emplace_back("dword", StoreValue{kRegDword, std::string("\x0b\x00\x00\x80", 4)});
    values.emplace_back("short dword", StoreValue{kRegDword, std::string("\x01", 1)});
    values.emplace_back("binary", StoreValue{3, std::string("\x00\xff", 2)});
    values.emplace_back("empty binary", StoreValue{3, ""});
    file.Merge(CurrentUserKey(kKey), values);

    const std::string text = file.Format();
    EXPECT_TRUE(
        text.starts_with("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillmark\\Wavelorn\\Options]\n"));
    EXPECT_NE(text.find("\"v4\"=\"line\\nbreak and\\r\\nCRLF\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"dword\"=dword:8000000b\n"), std::string::npos) << text;

    const RegFile back = RegFile::Parse(text);
    const StoreValues* parsed = back.FindKey(CurrentUserKey(kKey));
    ASSERT_NE(parsed, nullptr);
    ASSERT_EQ(parsed->size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ((*parsed)[i].first, values[i].first);
        EXPECT_EQ((*parsed)[i].second.type, values[i].second.type) << values[i].first;
        EXPECT_EQ((*parsed)[i].second.bytes, values[i].second.bytes) << values[i].first;
    }
}

TEST(RegFile, HandEditedFileWithDamagedLinesKeepsWhatParses) {
    // A person's edit (CRLF, comments, typos, cut lines) must cost only the lines it broke.
    const std::string text =
        "REGEDIT4\r\n\r\n"
        "\"Orphan\"=dword:00000001\r\n"
        "; comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Wavelorn\\Options]\r\n"
        "\"Good\"=dword:0000000a\r\n"
        "\"Short\"=dword:0000a\r\n"
        "\"NotHex\"=dword:0000000g\r\n"
        "\"Open\"=\"no closing quote\r\n"
        "\"Trailing\"=\"text\" junk\r\n"
        "garbage line\r\n"
        "\"BadHex\"=hex:0,1\r\n"
        "\"Text\"=\"hello\"\r\n"
        "\"text\"=\"replaced\"\r\n"
        "[-HKEY_CURRENT_USER\\Deleted]\r\n"
        "\"Lost\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\software\\quillmark\\wavelorn\\options]\r\n"
        "\"More\"=hex(4):02,00,00,00\r\n";
    const RegFile file = RegFile::Parse(text);
    const StoreValues* v = file.FindKey(CurrentUserKey(kKey));
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->size(), 3u);
    EXPECT_EQ((*v)[0].first, "Good");
    EXPECT_EQ((*v)[0].second.bytes, std::string("\x0a\0\0\0", 4));
    EXPECT_EQ((*v)[1].first, "Text");
    EXPECT_EQ((*v)[1].second.bytes, std::string("replaced\0", 9));
    EXPECT_EQ((*v)[2].first, "More");
    EXPECT_EQ((*v)[2].second.type, kRegDword);
    EXPECT_EQ(file.FindKey("HKEY_CURRENT_USER\\Deleted"), nullptr);
}

TEST(StoreKey, QueriesAndReadsBehaveLikeTheRegistry) {
    // Callers size buffers from QueryValue and rely on a too-small buffer failing, not truncating.
    MemoryUserStore store;
    {
        auto w = store.CreateKey(kKey);
        ASSERT_TRUE(w);
        w->SetDword("D", 0x01020304);
        w->SetString("S", "abc");
        EXPECT_EQ(w->Close(), 1);
    }
    auto r = store.OpenKey(kKey);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SetDword("X", 1), 0);  // a key opened for reading does not write
    const auto d = r->QueryValue("d");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type, kRegDword);
    EXPECT_EQ(d->size, 4u);
    const auto s = r->QueryValue("S");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->type, kRegSz);
    EXPECT_EQ(s->size, 4u);
    EXPECT_FALSE(r->QueryValue("none"));

    char buf[4] = {'x', 'x', 'x', 'x'};
    std::uint32_t size = 3;
    EXPECT_EQ(r->ReadValue("S", buf, &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buf[0], 'x');
    size = 4;
    EXPECT_EQ(r->ReadValue("S", buf, &size), 1);
    EXPECT_EQ(std::string(buf, 4), std::string("abc\0", 4));
    EXPECT_EQ(ReadString(*r, "D"), std::string("\x04\x03\x02\x01", 4));
    EXPECT_FALSE(store.OpenKey(kKey + "\\MP3Tag"));
}

class FileStore : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string path = dir.File("wavelorn/registry.reg");
};

TEST_F(FileStore, SecondWriterKeepsTheFirstWritersValues) {
    // Two programs saving in turn must not undo each other (each rereads and replaces only its values).
    FileUserStore window(path), cli(path);
    auto a = window.CreateKey(kKey);
    a->SetDword("OutputFormat", 2000);
    a->SetString("Folder", "/music");
    auto b = cli.CreateKey(kKey);
    b->SetDword("MP3BitRate", 192);
    b->SetString("Folder", "/other");
    EXPECT_EQ(a->Close(), 1);
    EXPECT_EQ(b->Close(), 1);
    auto c = window.CreateKey(kKey + "\\MP3Tag");
    c->SetString("Title", "t");
    EXPECT_EQ(c->Close(), 1);

    auto r = FileUserStore(path).OpenKey(kKey);
    ASSERT_TRUE(r);
    EXPECT_EQ(ReadString(*r, "OutputFormat"), std::string("\xd0\x07\0\0", 4));
    EXPECT_EQ(ReadString(*r, "MP3BitRate"), std::string("\xc0\0\0\0", 4));
    EXPECT_EQ(ReadString(*r, "Folder"), std::string("/other\0", 7));
    EXPECT_TRUE(FileUserStore(path).OpenKey(kKey + "\\MP3Tag"));
    // Only the store itself is left in the folder: no temporary files.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path() / "wavelorn"))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(FileStore, UnreadableOrForeignStoreReadsAsMissingKeysAndIsNotLostOnWrite) {
    // A damaged store must read as defaults, and a write must keep the parts that still parse.
    std::filesystem::create_directories(dir.Path() / "wavelorn");
    WriteText(path, std::string(1, '\0') + "\xff\xfe garbage\n[HKEY_CURRENT_USER\\Other]\n\"Keep\"=\"me\"\n");
    FileUserStore store(path);
    EXPECT_FALSE(store.OpenKey(kKey));
    auto w = store.CreateKey(kKey);
    w->SetDword("A", 1);
    EXPECT_EQ(w->Close(), 1);
    auto other = store.OpenKey("Other");
    ASSERT_TRUE(other);
    EXPECT_EQ(ReadString(*other, "Keep"), std::string("me\0", 3));

    // A folder in place of the file, or no file at all, is just an empty store.
    EXPECT_FALSE(FileUserStore(dir.Path().string()).OpenKey(kKey));
    EXPECT_FALSE(FileUserStore(dir.File("absent.reg")).OpenKey(kKey));
}

TEST_F(FileStore, WriteBelowARegularFileFailsAndChangesNothing) {
    // A store whose folder cannot exist must report the failure, not pretend it saved.
    WriteText(dir.File("plain"), "x");
    FileUserStore store(dir.File("plain/wavelorn/registry.reg"));
    auto w = store.CreateKey(kKey);
    ASSERT_TRUE(w);
    w->SetDword("A", 1);
    EXPECT_EQ(w->Close(), 0);
    EXPECT_EQ(ReadText(dir.File("plain")), "x");
}

TEST_F(FileStore, BatchStoresItsKeysOnlyOnCommit) {
    // Keys of a batch abandoned half-way must leave the store untouched; a commit stores them all.
    FileUserStore store(path);
    auto write = [&](const std::string& key, std::uint32_t value) {
        auto w = store.CreateKey(key);
        w->SetDword("A", value);
        return w->Close();
    };
    {
        StoreBatch batch(store);
        EXPECT_EQ(write(kKey, 1), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    {
        StoreBatch batch(store);
        write(kKey, 2);
        write(kKey + "\\MP3Tag", 3);
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(batch.Commit(), 1);
    }
    auto options = store.OpenKey(kKey);
    auto tag = store.OpenKey(kKey + "\\MP3Tag");
    ASSERT_TRUE(options && tag);
    EXPECT_EQ(ReadString(*options, "A"), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(ReadString(*tag, "A"), std::string("\x03\0\0\0", 4));
    // Outside a batch each key is stored on Close again.
    EXPECT_EQ(write(kKey, 4), 1);
    EXPECT_EQ(ReadString(*FileUserStore(path).OpenKey(kKey), "A"), std::string("\x04\0\0\0", 4));
}

TEST(FileStorePath, FollowsXdgConfigHome) {
    // The store must live where the user's configuration lives, and a relative XDG path is ignored.
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    EXPECT_EQ(FileUserStore::DefaultPath(), "/cfg/wavelorn/registry.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        EXPECT_EQ(FileUserStore::DefaultPath(),
                  std::filesystem::path(home).lexically_normal().string() + "/.config/wavelorn/registry.reg");
    }
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
