// Output files written whole or not at all: a full disk, a missing folder, a
// folder or a device in the way never cost the previous file.

#include "base/whole_file.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace tavelo::test {
namespace {

// Files a failed write could have left beside the target.
size_t leftovers(const fs::path &folder)
{
    size_t n = 0;
    for (const auto &e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".part-") != std::string::npos)
            ++n;
    return n;
}

TEST(WholeFile, WritesANewFile)
{
    TempFolder tmp;
    EXPECT_EQ(writeWholeFile(tmp / "new.csv", "a,b\n1,2\n"), std::nullopt);
    EXPECT_EQ(readBytes(tmp / "new.csv"), "a,b\n1,2\n");
    EXPECT_EQ(leftovers(tmp.path()), 0u);
}

TEST(WholeFile, ReplacesAnExistingFileAndKeepsItsPermissions)
{
    TempFolder tmp;
    writeBytes(tmp / "old.txt", std::string(100000, 'o'));
    fs::permissions(tmp / "old.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(writeWholeFile(tmp / "old.txt", "new"), std::nullopt);
    EXPECT_EQ(readBytes(tmp / "old.txt"), "new");
    EXPECT_EQ(fs::status(tmp / "old.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WholeFile, WritesThroughALinkAndKeepsTheLink)
{
    TempFolder tmp;
    writeBytes(tmp / "target.txt", "old");
    fs::create_symlink(tmp / "target.txt", tmp / "link.txt");
    EXPECT_EQ(writeWholeFile(tmp / "link.txt", "new"), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(tmp / "link.txt"));
    EXPECT_EQ(readBytes(tmp / "target.txt"), "new");
}

TEST(WholeFile, LargeContentInPieces)
{
    TempFolder tmp;
    std::string expected;
    WholeFileWriter writer(tmp / "big.csv");
    ASSERT_TRUE(writer.open()) << writer.error();
    for (int i = 0; i < 5000; ++i) {
        const std::string piece = std::to_string(i) + std::string(static_cast<size_t>(i % 97), 'x') + "\n";
        writer.write(piece);
        expected += piece;
    }
    writer.write(std::string(200000, 'y')); // more than the buffer at once
    expected += std::string(200000, 'y');
    EXPECT_FALSE(fs::exists(tmp / "big.csv")); // nothing under the name before the commit
    ASSERT_TRUE(writer.commit()) << writer.error();
    EXPECT_EQ(readBytes(tmp / "big.csv"), expected);
}

TEST(WholeFile, AWriterNotCommittedLeavesNoTrace)
{
    TempFolder tmp;
    writeBytes(tmp / "r.csv", "old");
    {
        WholeFileWriter writer(tmp / "r.csv");
        ASSERT_TRUE(writer.open());
        writer.write("half");
    }
    EXPECT_EQ(readBytes(tmp / "r.csv"), "old");
    EXPECT_EQ(leftovers(tmp.path()), 0u);
}

struct RefusedCase {
    const char *name;
    const char *path; // inside the temporary folder unless absolute
    const char *why;
};

class WholeFileRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(WholeFileRefused, SaysWhyAndTouchesNothing)
{
    TempFolder tmp;
    fs::create_directories(tmp / "folder");
    const fs::path target = fs::path(GetParam().path).is_absolute() ? fs::path(GetParam().path) : tmp / GetParam().path;
    const auto error = writeWholeFile(target, "bytes");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, GetParam().why);
    EXPECT_TRUE(fs::is_directory(tmp / "folder"));
    EXPECT_FALSE(fs::exists(tmp / "missing"));
    EXPECT_EQ(leftovers(tmp.path()), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WholeFileRefused,
    ::testing::Values(RefusedCase{"MissingFolder", "missing/r.csv", "No such file or directory"},
                      RefusedCase{"Folder", "folder", "it is a folder"},
                      // Replacing it would delete the device (as root, /dev/null itself).
                      RefusedCase{"Device", "/dev/null", "it is not a regular file"},
                      RefusedCase{"FullDevice", "/dev/full", "it is not a regular file"}),
    [](const ::testing::TestParamInfo<RefusedCase> &i) { return std::string(i.param.name); });

TEST(WholeFile, DevicesStayDevices)
{
    ASSERT_TRUE(writeWholeFile("/dev/null", "x").has_value());
    struct stat s {};
    ASSERT_EQ(::stat("/dev/null", &s), 0);
    EXPECT_TRUE(S_ISCHR(s.st_mode));
}

TEST(WholeFile, AFullDiskKeepsTheOldFile)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    writeBytes(disk / "r.csv", "the old record\n");
    disk.fill();
    // Larger than any buffer, and small enough to be held back by one: both
    // fail, whether the file goes through QSaveFile or skips the sync.
    for (const Durability durability : {Durability::Synced, Durability::Unsynced})
    for (const size_t size : {size_t(10), size_t(100000)}) {
        SCOPED_TRACE(size);
        SCOPED_TRACE(durability == Durability::Synced ? "synced" : "unsynced");
        const auto error = writeWholeFile(disk / "r.csv", std::string(size, 'n'), durability);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, "No space left on device");
        EXPECT_EQ(readBytes(disk / "r.csv"), "the old record\n");
        EXPECT_EQ(leftovers(disk.path()), 0u);
    }
}

TEST(WholeFile, AFullDiskCreatesNothing)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    disk.fill();
    EXPECT_TRUE(writeWholeFile(disk / "new.svg", std::string(9000, 's')).has_value());
    EXPECT_FALSE(fs::exists(disk / "new.svg"));
    EXPECT_EQ(leftovers(disk.path()), 0u);
}

struct SameFileCase {
    const char *a;
    const char *b;
    bool same;
};

TEST(SameFile, SpellingsOfOneFile)
{
    TempFolder tmp;
    fs::create_directories(tmp / "sub");
    writeBytes(tmp / "exists.txt", "x");
    fs::create_symlink(tmp / "exists.txt", tmp / "link.txt");
    const SameFileCase cases[] = {
        {"l.txt", "l.txt", true},          {"l.txt", "sub/../l.txt", true}, {"l.txt", "./l.txt", true},
        {"l.txt", "r.csv", false},         {"exists.txt", "link.txt", true}, {"exists.txt", "sub/exists.txt", false},
        {"sub/a.txt", "sub/./a.txt", true}, {"exists.txt", "new.txt", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(sameFile(tmp / c.a, tmp / c.b), c.same);
    }
}

} // namespace
} // namespace tavelo::test
