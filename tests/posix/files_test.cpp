// The native folder walk: links back up are not followed, and a tree of any
// size is walked within bounds.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/posix/files_posix.h"

namespace {

namespace fs = std::filesystem;

class FolderWalk : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tumbra-walk-XXXXXX";
    root = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(root); }
  void File(const std::string& path) {
    fs::create_directories(fs::path(root + "/" + path).parent_path());
    std::ofstream(root + "/" + path) << "x = 1, y = 1\no!\n";
  }
  void Link(const std::string& path, const std::string& target) {
    fs::create_directories(fs::path(root + "/" + path).parent_path());
    fs::create_directory_symlink(target, root + "/" + path);
  }
  // Each file seen, by its path below the root, with the times it was seen.
  std::map<std::string, int> Walk(int32_t depth, const FolderListLimits* limits = nullptr) {
    std::map<std::string, int> seen;
    seenBy = &seen;
    const bool listed = limits != nullptr ? ListFolderWithin(root.c_str(), depth, *limits, Count, this)
                                          : PlatformListFolder(root.c_str(), depth, Count, this);
    EXPECT_TRUE(listed);
    return seen;
  }
  static void Count(const char* path, void* context) {
    FolderWalk* walk = static_cast<FolderWalk*>(context);
    (*walk->seenBy)[std::string(path).substr(walk->root.size() + 1)] += 1;
  }

  std::string root;
  std::map<std::string, int>* seenBy = nullptr;
};

TEST_F(FolderWalk, LinksBackUpAreNotFollowedAndOthersAre) {
  File("a.rle");
  File("life/b.rle");
  File("life/deep/c.rle");
  File("other/d.rle");
  Link("itself", ".");
  Link("life/up", "..");
  Link("life/deep/top", root);
  Link("life/deep/again", "../../life");
  Link("life/other", "../other");  // a sibling, not on the way: followed
  // Ten links to the top in each folder would make 10^8 folders of a walk
  // eight deep; each is on the way.
  for (int k = 0; k < 10; ++k) Link("life/deep/loop" + std::to_string(k), "../..");
  const std::map<std::string, int> expected = {
      {"a.rle", 1}, {"life/b.rle", 1}, {"life/deep/c.rle", 1}, {"other/d.rle", 2}};
  std::map<std::string, int> seen = Walk(8);
  seen.erase("life/other/d.rle");  // the sibling's file, seen through the link
  seen["other/d.rle"] += 1;
  EXPECT_EQ(seen, expected);
}

TEST_F(FolderWalk, DepthStillCountsTheLevelsBelow) {
  File("a.rle");
  File("1/b.rle");
  File("1/2/c.rle");
  EXPECT_EQ(Walk(0), (std::map<std::string, int>{{"a.rle", 1}}));
  EXPECT_EQ(Walk(1), (std::map<std::string, int>{{"a.rle", 1}, {"1/b.rle", 1}}));
}

int Files(const std::map<std::string, int>& seen) {
  int files = 0;
  for (const auto& [path, times] : seen) files += times;
  return files;
}

TEST_F(FolderWalk, EntriesLookedAtAreBounded) {
  for (int k = 0; k < 20; ++k) File(std::to_string(k) + ".rle");
  FolderListLimits limits = {6, 1000};
  EXPECT_EQ(Files(Walk(4, &limits)), 6);
  EXPECT_EQ(Files(Walk(4)), 20);
}

TEST_F(FolderWalk, FoldersReadAreBounded) {
  for (int k = 0; k < 10; ++k) File(std::to_string(k) + "/x.rle");
  // The first folder and two more.
  FolderListLimits limits = {1000, 3};
  EXPECT_EQ(Files(Walk(4, &limits)), 2);
  // A bound reached is no failure, but a first folder that cannot be read is.
  limits = {1000, 1};
  EXPECT_EQ(Files(Walk(4, &limits)), 0);
  limits = {1000, 0};
  EXPECT_FALSE(ListFolderWithin(root.c_str(), 4, limits, Count, this));
}

TEST_F(FolderWalk, WhatIsNoFolderIsNoWalk) {
  File("a.rle");
  int calls = 0;
  auto count = [](const char*, void* context) { *static_cast<int*>(context) += 1; };
  EXPECT_FALSE(PlatformListFolder((root + "/a.rle").c_str(), 4, count, &calls));
  EXPECT_FALSE(PlatformListFolder((root + "/none").c_str(), 4, count, &calls));
  EXPECT_EQ(calls, 0);
}

}  // namespace
