// The record of a group of files taking their names: what it reads back
// as, and that nothing altered, cut short or naming other files is taken
// for a record.
#include <unistd.h>

#include <gtest/gtest.h>

#include "device/linux/commit_record.h"
#include "device/linux/hidden_files.h"

namespace tolvane {
namespace {

TCommitRecord Sample() {
  std::string owner = OwnHiddenOwner();
  auto hidden = [&](const std::string& target, const char* random) {
    return "." + target + ".tolvane." + owner + "." + random;
  };
  return TCommitRecord{owner,
                       {{"sheet-1.svg", hidden("sheet-1.svg", "aaa"), hidden("sheet-1.svg", "bbb"), 11, 0},
                        {"a name with spaces%\n.svg", hidden("a name with spaces%\n.svg", "ccc"),
                         hidden("x", "ddd"), 12, 99}}};
}

TEST(CommitRecord, ReadsBackWhatWasWrittenAndNothingElse) {
  std::string text = FormatCommitRecord(Sample());
  TCommitRecord read;
  std::string failure;
  ASSERT_TRUE(ParseCommitRecord(text, read, failure)) << failure;
  ASSERT_EQ(read.Entries.size(), 2u);
  EXPECT_EQ(read.Owner, Sample().Owner);
  EXPECT_EQ(read.Entries[1].Target, Sample().Entries[1].Target);
  EXPECT_EQ(read.Entries[1].Hidden, Sample().Entries[1].Hidden);
  EXPECT_EQ(read.Entries[1].OldInode, 99u);

  auto with = [](void (*change)(TCommitRecord&)) {
    TCommitRecord record = Sample();
    change(record);
    return FormatCommitRecord(record);
  };
  struct Case {
    const char* why;
    std::string text;
  } cases[] = {
      {"cut short", text.substr(0, text.size() / 2)},
      {"without its end", text.substr(0, text.rfind("end "))},
      {"one byte altered", std::string(text).replace(text.find("sheet-1"), 1, "S")},
      {"empty", ""},
      {"a target in another folder", with([](TCommitRecord& r) { r.Entries[0].Target = "../x.svg"; })},
      {"a target that is a hidden file",
       with([](TCommitRecord& r) { r.Entries[0].Target = r.Entries[1].Hidden; })},
      {"another process's hidden file", with([](TCommitRecord& r) {
         r.Entries[0].Hidden = ".sheet-1.svg.tolvane.1-1@elsewhere.aaa";
       })},
      {"a plain file as the hidden one", with([](TCommitRecord& r) { r.Entries[0].Kept = "report.txt"; })},
      {"no inode of the new file", with([](TCommitRecord& r) { r.Entries[0].NewInode = 0; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_FALSE(ParseCommitRecord(c.text, read, failure));
    EXPECT_FALSE(failure.empty());
  }
}

}  // namespace
}  // namespace tolvane
