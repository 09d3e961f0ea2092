#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/OutputFormats.h"
#include "engine/OutputNaming.h"

namespace {

TEST(OutputFormats, EveryCodeIsWholeAndUnique) {
    // Naming, the progress text, the command line and the window all read this table: a missing
    // or repeated entry would send a format's files to the wrong extension or name.
    std::set<int> codes;
    std::set<std::string> extensions, cliNames;
    for (const auto& f : OutputFormatTable()) {
        EXPECT_TRUE(codes.insert(f.code).second) << f.code;
        EXPECT_TRUE(extensions.insert(f.extension).second) << f.extension;
        EXPECT_TRUE(cliNames.insert(f.cliName).second) << f.cliName;
        EXPECT_EQ(f.extension[0], '.') << f.code;
        EXPECT_NE(std::string(f.name), "") << f.code;
        EXPECT_EQ(FindOutputFormat(f.code), &f);
        EXPECT_EQ(OutputExtension(f.code), f.extension);
    }
    EXPECT_EQ(codes.size(), 12u);
    EXPECT_EQ(FindOutputFormat(3000), nullptr);
    EXPECT_STREQ(OutputFormatName(3000), "");
    EXPECT_EQ(OutputExtension(3000), "");
}

}  // namespace
