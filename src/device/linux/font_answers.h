// Which installed face answers a request for a face name, weight and slant.
// fontconfig gives the answer, but reading the system's configuration to
// give it costs more than a one-page job; so the answers are kept between
// runs in a small file of the user's, each trusted only while everything
// that could change it is as it was when fontconfig gave it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tolvane {

struct TFontRequest {
  std::string Name;  // empty: monospace
  int32_t Weight;    // OpenType weight, 1 to 1000
  bool Italic;
};

struct TFontAnswer {
  std::string File;
  int Index;
  std::string Family;
  int Weight;     // the face's own OpenType weight
  bool Upright;   // the face has no slant of its own
  bool Embolden;  // the configuration asks for the face to be thickened
};

// The answer, from the cache when it holds one that is still valid, else
// from fontconfig (and then kept). False when fontconfig has none.
bool FindFontAnswer(const TFontRequest& request, TFontAnswer& answer);

// Whether the cache holds answers for this environment, read on first use.
// Since the fontconfig library is one of the sources, answers held mean that
// it is in its place.
bool FontAnswersKept();

// fontconfig's own answer.
bool AskFontconfig(const TFontRequest& request, TFontAnswer& answer);

// The files and directories whose state decides fontconfig's answers: the
// configuration files it read and their directories, the places where a
// user's configuration would be read from, every font directory (present or
// not) and the library itself. Asked after fontconfig has answered once.
std::vector<std::string> FontconfigSources();

// When fontconfig was first started by this process; zero before.
timespec FontconfigStarted();

// The cache file itself, for FindFontAnswer and its tests.
struct TCachedAnswer {
  TFontRequest Request;
  TFontAnswer Answer;
};

struct TFontAnswerCache {
  std::vector<std::string> Sources;  // what every answer rests on
  std::vector<TCachedAnswer> Answers;
};

// $XDG_CACHE_HOME/tolvane/fonts, else ~/.cache/tolvane/fonts; empty when
// neither can be named.
std::string FontAnswerCachePath();

// The answers of the file at path that still hold. A file that cannot be
// read, is not whole, or was written for another environment or before a
// change to one of its sources holds none.
std::vector<TCachedAnswer> ReadFontAnswers(const std::string& path);

// Writes the cache in place of the file at path, whole or not at all.
// Nothing is written when a source changed since (or just before) started,
// as fontconfig may then have read it as it was being changed. False when
// nothing was written.
bool WriteFontAnswers(const std::string& path, const TFontAnswerCache& cache, timespec started);

// The state of a file or directory as a comparable text: its identity,
// size and times, or why it cannot be looked at.
std::string PathStamp(const std::string& path);

}  // namespace tolvane
