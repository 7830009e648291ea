#include "output_names.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace orvik::massage {
namespace {

using testing::ScratchFolder;
using testing::WriteFile;

namespace fs = std::filesystem;

bool StartsWithResult(const fs::path& path) { return FileBeginsWith(path, "RESULT"); }

TEST(OutputNames, UsualNameWhenFreeOrAnEarlierResult) {
  ScratchFolder dir;
  OutputNames names;
  ClaimedName c = names.Claim(dir / "a.txt", dir / "a_asp.txt", StartsWithResult);
  EXPECT_EQ(c.path, dir / "a.txt");
  EXPECT_EQ(c.passedOver, "");
  WriteFile(dir / "b.txt", "RESULT of yesterday");
  c = names.Claim(dir / "b.txt", dir / "b_asp.txt", StartsWithResult);
  EXPECT_EQ(c.path, dir / "b.txt");
  EXPECT_EQ(c.passedOver, "");
}

TEST(OutputNames, NeverAnInputAnotherResultOrAForeignFile) {
  ScratchFolder dir;
  OutputNames names;
  WriteFile(dir / "in.txt", "PICK source");
  // The same file, named another way.
  names.AddInput(dir.path() / "sub" / ".." / "in.txt");
  ClaimedName c = names.Claim(dir / "in.txt", dir / "in_asp.txt", StartsWithResult);
  EXPECT_EQ(c.path, dir / "in_asp.txt");
  EXPECT_EQ(c.passedOver, "in.txt is an input of this run");

  c = names.Claim(dir / "in_asp.txt", dir / "in_asp.txt", StartsWithResult);
  EXPECT_EQ(c.path, dir / "in_asp_2.txt");
  EXPECT_EQ(c.passedOver, "in_asp.txt holds another result of this run");

  WriteFile(dir / "notes.txt", "my notes");
  WriteFile(dir / "notes_asp.txt", "more notes");
  c = names.Claim(dir / "notes.txt", dir / "notes_asp.txt", StartsWithResult);
  EXPECT_EQ(c.path, dir / "notes_asp_2.txt");
  EXPECT_EQ(c.passedOver, "notes.txt is not a result of OrvikMassage");
}

TEST(OutputNames, HardLinksAndSymbolicLinksAreKept) {
  ScratchFolder dir;
  OutputNames names;
  WriteFile(dir / "in", "source");
  fs::create_hard_link(dir / "in", dir / "twin.txt");
  names.AddInput(dir / "in");
  EXPECT_EQ(names.Claim(dir / "twin.txt", dir / "x.txt", StartsWithResult).path, dir / "x.txt");
  // A link to an earlier result is still a link: writing would replace the link itself.
  WriteFile(dir / "old", "RESULT");
  fs::create_symlink(dir / "old", dir / "link.txt");
  ClaimedName c = names.Claim(dir / "link.txt", dir / "y.txt", StartsWithResult);
  EXPECT_EQ(c.path, dir / "y.txt");
  EXPECT_EQ(c.passedOver, "link.txt is not a result of OrvikMassage");
}

TEST(OutputNames, NoFreeNameGivesNone) {
  ScratchFolder dir;
  OutputNames names;
  WriteFile(dir / "f.txt", "x");
  for (int n = 2; n <= 99; ++n) WriteFile(dir / ("f_" + std::to_string(n) + ".txt"), "x");
  EXPECT_TRUE(names.Claim(dir / "f.txt", dir / "f.txt", StartsWithResult).path.empty());
}

TEST(OutputNames, FileBeginningsAndEndings) {
  ScratchFolder dir;
  WriteFile(dir / "f", "head and tail");
  EXPECT_TRUE(FileBeginsWith(dir / "f", "head"));
  EXPECT_FALSE(FileBeginsWith(dir / "f", "tail"));
  EXPECT_TRUE(FileEndsWith(dir / "f", "tail"));
  EXPECT_FALSE(FileEndsWith(dir / "f", "head and tail, longer"));
  EXPECT_FALSE(FileBeginsWith(dir / "missing", "x"));
  EXPECT_FALSE(FileEndsWith(dir / "missing", "x"));
}

}  // namespace
}  // namespace orvik::massage
