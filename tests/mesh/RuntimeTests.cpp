#include "platform/Runtime.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

TEST(Runtime, FullPathOfARelativePathIsAbsolute)
{
    std::string full;
    ASSERT_TRUE(rt::fullPath("models/../cube.obj", full));
    const std::string tail = std::string(1, rt::kPathSeparator) + "cube.obj";
    ASSERT_GT(full.size(), tail.size());
    EXPECT_EQ(tail, full.substr(full.size() - tail.size()));
    EXPECT_EQ(std::string::npos, full.find("..")) << full;
}

TEST(Runtime, DirectoryKeepsItsTrailingSeparator)
{
    std::string full;
    ASSERT_TRUE(rt::fullPath(dataPath("obj/cube.obj").c_str(), full));
    const std::string dir = rt::directoryOf(full);
    EXPECT_EQ(full.substr(0, full.size() - 8), dir);
    EXPECT_EQ(rt::kPathSeparator, dir.back());
}

TEST(Runtime, PathsLongerThanMaxPathAreFormedWholeOrNotAtAll)
{
    // Windows forms them where long paths are allowed and refuses them
    // elsewhere; a path is never cut.
    std::string full;
    const std::string longName(300, 'a');
    if (rt::fullPath(longName.c_str(), full)) {
        EXPECT_EQ(rt::kPathSeparator + longName, full.substr(full.size() - 301));
    }
#ifndef _WIN32
    EXPECT_FALSE(full.empty());
#endif
    EXPECT_FALSE(rt::fullPath("", full));
}

TEST(Runtime, CompareNoCase)
{
    EXPECT_EQ(0, rt::compareNoCase(".OBJ", ".obj"));
    EXPECT_EQ(0, rt::compareNoCase(".Obj", ".oBJ"));
    EXPECT_NE(0, rt::compareNoCase(".obj", ".ob"));
    EXPECT_NE(0, rt::compareNoCase(".obj", ".mtl"));
}
