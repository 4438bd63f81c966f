// The cache of fontconfig's answers: the same faces as fontconfig gives, and
// none once anything they rest on has changed or the file is damaged.
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "device/linux/font_answers.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

std::string TemporaryDirectory(const char* prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  EXPECT_NE(mkdtemp(pattern.data()), nullptr);
  return pattern;
}

// Every face this test program looks for is kept in a cache of its own,
// never in the user's.
class TPrivateCacheHome : public ::testing::Environment {
 public:
  void SetUp() override {
    home_ = TemporaryDirectory("tolvane-cache-");
    setenv("XDG_CACHE_HOME", home_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(home_); }

 private:
  std::string home_;
};
::testing::Environment* const PrivateCacheHome =
    ::testing::AddGlobalTestEnvironment(new TPrivateCacheHome);

class FontAnswers : public ::testing::Test {
 protected:
  void SetUp() override { directory_ = TemporaryDirectory("tolvane-answers-"); }
  void TearDown() override { fs::remove_all(directory_); }

  std::string PathOf(const std::string& name) const { return directory_ + "/" + name; }
  void WriteFile(const std::string& name, const std::string& bytes, int hoursAgo = 1) {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
    Backdate(name, hoursAgo);
  }
  // Older than fontconfig's start by more than the cache waits for.
  void Backdate(const std::string& name, int hoursAgo) {
    auto then = fs::file_time_type::clock::now() - std::chrono::hours(hoursAgo);
    fs::last_write_time(PathOf(name), then);
  }

  std::string directory_;
};

TFontAnswer Asked(const TFontRequest& request) {
  TFontAnswer answer{};
  EXPECT_TRUE(AskFontconfig(request, answer)) << request.Name;
  return answer;
}

bool Same(const TFontAnswer& a, const TFontAnswer& b) {
  return std::tie(a.File, a.Index, a.Family, a.Weight, a.Upright, a.Embolden) ==
         std::tie(b.File, b.Index, b.Family, b.Weight, b.Upright, b.Embolden);
}

TFontAnswerCache CacheOf(std::vector<std::string> sources,
                         const std::vector<std::pair<std::string, TFontAnswer>>& answers) {
  TFontAnswerCache cache;
  cache.Sources = std::move(sources);
  for (const auto& [name, answer] : answers)
    cache.Answers.push_back(TCachedAnswer{TFontRequest{name, 400, false}, answer});
  return cache;
}

TEST_F(FontAnswers, CachedAnswersAreFontconfigsOwn) {
  const TFontRequest requests[] = {
      {"Courier New", 400, false}, {"Courier New", 700, false},    {"Courier New", 400, true},
      {"Liberation Mono", 700, true}, {"DejaVu Sans Mono", 400, false}, {"", 400, false},
      {"No Such Face 4711", 400, false}, {"Tab\there\\and\nline", 550, false},
  };
  TFontAnswerCache cache;
  for (const TFontRequest& request : requests) cache.Answers.push_back({request, Asked(request)});
  cache.Sources = FontconfigSources();
  ASSERT_TRUE(WriteFontAnswers(PathOf("fonts"), cache, FontconfigStarted()));

  std::vector<TCachedAnswer> read = ReadFontAnswers(PathOf("fonts"));
  ASSERT_EQ(read.size(), std::size(requests));
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].Request.Name, requests[i].Name);
    EXPECT_TRUE(Same(read[i].Answer, cache.Answers[i].Answer)) << requests[i].Name;
  }
  // The metric-compatible substitute comes through the aliases, and a font
  // added beside the face would change the face's directory.
  EXPECT_EQ(read[0].Answer.Family, "Liberation Mono");
  std::string faceDirectory = read[0].Answer.File.substr(0, read[0].Answer.File.rfind('/'));
  EXPECT_NE(std::find(cache.Sources.begin(), cache.Sources.end(), faceDirectory),
            cache.Sources.end());
}

TEST_F(FontAnswers, AChangeToWhatAnAnswerRestsOnInvalidatesIt) {
  struct Case {
    const char* change;
    size_t answersLeft;
  } cases[] = {
      {"nothing", 2},
      {"a configuration file rewritten", 0},
      {"a configuration file removed", 0},
      {"a file made where none was", 0},
      {"another language", 0},
      {"the face's file replaced", 1},
  };
  TFontAnswer real = Asked({"Courier New", 400, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    WriteFile("fonts.conf", "<fontconfig/>\n");
    fs::remove(PathOf("local.conf"));
    fs::copy_file(real.File, PathOf("face.ttf"), fs::copy_options::overwrite_existing);
    Backdate("face.ttf", 1);
    TFontAnswer copy = real;
    copy.File = PathOf("face.ttf");
    TFontAnswerCache cache = CacheOf({PathOf("fonts.conf"), PathOf("local.conf")},
                                     {{"Copy", copy}, {"Courier New", real}});
    ASSERT_TRUE(WriteFontAnswers(PathOf("fonts"), cache, FontconfigStarted()));
    std::string change = c.change;
    if (change == "a configuration file rewritten")
      WriteFile("fonts.conf", "<fontconfig></fontconfig>\n");
    if (change == "a configuration file removed") fs::remove(PathOf("fonts.conf"));
    if (change == "a file made where none was") WriteFile("local.conf", "<fontconfig/>\n");
    if (change == "another language") setenv("FC_LANG", "hu", 1);
    if (change == "the face's file replaced") WriteFile("face.ttf", "not a font", 2);
    EXPECT_EQ(ReadFontAnswers(PathOf("fonts")).size(), c.answersLeft);
    unsetenv("FC_LANG");
  }
}

TEST_F(FontAnswers, ADamagedOrUnwritableCacheHoldsNothing) {
  TFontAnswer real = Asked({"Courier New", 400, false});
  TFontAnswerCache cache = CacheOf({}, {{"Courier New", real}});
  ASSERT_TRUE(WriteFontAnswers(PathOf("good"), cache, FontconfigStarted()));
  std::ifstream file(PathOf("good"), std::ios::binary);
  std::string good((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string answer = good.substr(good.find("answer\t"));
  struct Case {
    const char* why;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"cut short", good.substr(0, good.size() - 3)},
      {"no trailer", good.substr(0, good.size() - 4)},
      {"another version", "tolvane font answers 2" + good.substr(good.find('\n'))},
      {"a weight that is no number",
       good.substr(0, good.find("answer\t")) + "answer\tX\tbold\t0\t/f\t0\tF\t400\t1\t0\t-\nend\n"},
      {"an unknown record", good.substr(0, good.find("answer\t")) + "rumour\tx\n" + answer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteFile("fonts", c.bytes);
    EXPECT_TRUE(ReadFontAnswers(PathOf("fonts")).empty());
  }
  EXPECT_TRUE(ReadFontAnswers(PathOf("nothing here")).empty());
  EXPECT_TRUE(ReadFontAnswers(directory_).empty());

  // A file where the cache's directory should be; a source changed while
  // fontconfig may have read it.
  WriteFile("blocked", "");
  EXPECT_FALSE(WriteFontAnswers(PathOf("blocked/tolvane/fonts"), cache, FontconfigStarted()));
  WriteFile("fresh.conf", "", 0);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  cache.Sources = {PathOf("fresh.conf")};
  EXPECT_FALSE(WriteFontAnswers(PathOf("fonts"), cache, now));
}

}  // namespace
}  // namespace tolvane
