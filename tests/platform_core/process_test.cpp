#include "platform/process.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct PathCase {
    std::string path;
    std::string dir;
    std::string name;
};

class PathParts : public testing::TestWithParam<PathCase> {};

TEST_P(PathParts, SplitAtTheLastSlash)
{
    EXPECT_EQ(kzt::extractFileDir(GetParam().path), GetParam().dir);
    EXPECT_EQ(kzt::extractFileName(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathParts,
    testing::Values(PathCase{"/opt/pdv/kzt-station", "/opt/pdv", "kzt-station"},
                    PathCase{"/kzt-station", "/", "kzt-station"},
                    PathCase{"kzt-station", "", "kzt-station"},
                    PathCase{"/opt/pdv/", "/opt/pdv", ""}, PathCase{"", "", ""}));

struct JoinCase {
    std::string dir;
    std::string expected;
};

class JoinPath : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinPath, NeverDoublesTheSlash)
{
    EXPECT_EQ(kzt::joinPath(GetParam().dir, "PARAMETROSQTR.CDS"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, JoinPath,
                         testing::Values(JoinCase{"/opt/pdv", "/opt/pdv/PARAMETROSQTR.CDS"},
                                         JoinCase{"/opt/pdv/", "/opt/pdv/PARAMETROSQTR.CDS"},
                                         JoinCase{"/", "/PARAMETROSQTR.CDS"},
                                         JoinCase{"", "PARAMETROSQTR.CDS"}));

TEST(Process, FileExistsOnlyForRegularFiles)
{
    kzt::test::TempDir dir;
    std::ofstream(dir.file("PARAMETROSQTR.CDS")) << "x";
    std::filesystem::create_directory(dir.file("folder"));
    std::filesystem::create_symlink(dir.file("PARAMETROSQTR.CDS"), dir.file("link"));
    EXPECT_TRUE(kzt::fileExists(dir.file("PARAMETROSQTR.CDS")));
    EXPECT_TRUE(kzt::fileExists(dir.file("link")));
    EXPECT_FALSE(kzt::fileExists(dir.file("folder")));
    EXPECT_FALSE(kzt::fileExists(dir.file("missing")));
    EXPECT_FALSE(kzt::fileExists(""));
    EXPECT_EQ(kzt::shortPathName(dir.file("folder")), dir.file("folder"));
}

TEST(Process, HostExecutableIsThisProgramUnlessOverridden)
{
    const std::string own = kzt::hostExecutablePath();
    EXPECT_EQ(kzt::extractFileName(own), "platform_core_tests");
    EXPECT_TRUE(kzt::fileExists(own));

    kzt::setHostExecutablePath("/opt/pdv/qtr212.exe");
    EXPECT_EQ(kzt::hostExecutablePath(), "/opt/pdv/qtr212.exe");
    kzt::setHostExecutablePath("");
    EXPECT_EQ(kzt::hostExecutablePath(), own);
}

} // namespace
