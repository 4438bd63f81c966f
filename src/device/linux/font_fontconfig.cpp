// fontconfig's answer to a face request, and what that answer rests on.
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <set>

#include "device/linux/font_answers.h"
#include "device/linux/lazy_graphics.h"

namespace tolvane {

namespace {

timespec Started{};

std::string PatternString(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return "";
  return reinterpret_cast<const char*>(value);
}

// A library that cannot be loaded is named once, and then no face is found.
bool StartFontconfig() {
  if (!LoadLazyLibrary(FontconfigLibrary)) return false;
  if (Started.tv_sec == 0 && Started.tv_nsec == 0) clock_gettime(CLOCK_REALTIME, &Started);
  return FcInit();
}

// The second family makes a name that nothing answers fall back to a
// fixed-pitch face rather than to the default sans.
FcPattern* MatchPattern(const TFontRequest& request) {
  if (!StartFontconfig()) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  if (!request.Name.empty())
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(request.Name.c_str()));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.Weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  return match;
}

void AddAll(FcStrList* list, std::vector<std::string>& paths) {
  if (!list) return;
  while (FcChar8* path = FcStrListNext(list)) paths.emplace_back(reinterpret_cast<char*>(path));
  FcStrListDone(list);
}

std::string Directory(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// Where the usual configuration includes a user's own files from, present
// or not: one made after the answer must invalidate it.
void AddUserConfiguration(std::vector<std::string>& paths) {
  const char* home = std::getenv("HOME");
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string config = configHome && configHome[0] == '/' ? configHome
                       : home && home[0] == '/'          ? std::string(home) + "/.config"
                                                         : "";
  if (!config.empty()) {
    paths.push_back(config + "/fontconfig");
    paths.push_back(config + "/fontconfig/conf.d");
    paths.push_back(config + "/fontconfig/fonts.conf");
  }
  if (home && home[0] == '/') {
    paths.push_back(std::string(home) + "/.fonts.conf");
    paths.push_back(std::string(home) + "/.fonts.conf.d");
  }
}

}  // namespace

bool AskFontconfig(const TFontRequest& request, TFontAnswer& answer) {
  FcPattern* match = MatchPattern(request);
  if (!match) return false;
  answer = TFontAnswer{PatternString(match, FC_FILE), 0, PatternString(match, FC_FAMILY), 0,
                       true, false};
  int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  FcBool embolden = FcFalse;
  FcPatternGetInteger(match, FC_INDEX, 0, &answer.Index);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(match, FC_SLANT, 0, &slant);
  // The usual configuration marks a face to be thickened itself (and then
  // reports the weight asked for); without it the weights decide.
  FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
  FcPatternDestroy(match);
  answer.Weight = FcWeightToOpenType(weight);
  answer.Upright = slant == FC_SLANT_ROMAN;
  answer.Embolden = embolden;
  return !answer.File.empty();
}

std::vector<std::string> FontconfigSources() {
  std::vector<std::string> paths;
  AddAll(FcConfigGetConfigFiles(nullptr), paths);
  size_t configuration = paths.size();
  for (size_t i = 0; i < configuration; ++i) paths.push_back(Directory(paths[i]));
  AddUserConfiguration(paths);
  AddAll(FcConfigGetFontDirs(nullptr), paths);
  std::string library = LazyLibraryFile(FontconfigLibrary);
  if (!library.empty()) paths.push_back(library);
  // Each once, in a steady order.
  std::set<std::string> seen;
  std::vector<std::string> sources;
  for (std::string& path : paths)
    if (seen.insert(path).second) sources.push_back(std::move(path));
  return sources;
}

timespec FontconfigStarted() { return Started; }

}  // namespace tolvane
