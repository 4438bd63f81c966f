// Which installed face a font name gives, asked of fontconfig the way the
// drawing asks it: the name first, then monospace, so a report keeps its
// fixed pitch when the name answers nothing.
#include <fontconfig/fontconfig.h>

#include <string>

#include "os/win32.h"

namespace tolvane {

namespace {

std::string PatternText(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || value == nullptr)
    return "";
  return reinterpret_cast<const char*>(value);
}

}  // namespace

std::string DescribeFontFace(const std::string& face, const std::string& /*driver*/,
                             const std::string& /*device*/, const std::string& /*port*/) {
  if (!FcInit()) return "fontconfig cannot be started";
  FcPattern* pattern = FcPatternCreate();
  if (!face.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return "no installed font";
  std::string text = PatternText(match, FC_FAMILY) + " " + PatternText(match, FC_STYLE) + ", " +
                     PatternText(match, FC_FILE);
  FcPatternDestroy(match);
  return text;
}

}  // namespace tolvane
