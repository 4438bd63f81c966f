// The faces of the document writers on Windows: the face the font mapper
// chooses for a font description, read from its own bytes (GetFontData),
// so that a document shows what a Windows printer prints. Faces and their
// bytes live as long as the process.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "device/fonts/font_face.h"
#include "device/pdf/compression.h"
#include "device/sfnt/sfnt_face.h"
#include "device/sfnt/sfnt_tables.h"
#include "os/windows/font_data.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

constexpr int32_t NormalWeight = 400;

struct TFaceRequest {
  std::string Name;
  int32_t Weight;
  bool Italic;
  int CharSet;
  bool operator<(const TFaceRequest& other) const {
    return std::tie(Name, Weight, Italic, CharSet) <
           std::tie(other.Name, other.Weight, other.Italic, other.CharSet);
  }
};

struct TFaceStore {
  std::map<TFaceRequest, const TFontFace*> Requests;
  std::map<std::string, std::unique_ptr<std::string>> Files;  // bytes by identity
  std::vector<std::unique_ptr<TFontFace>> Faces;
};

TFaceStore& Store() {
  static TFaceStore store;
  return store;
}

// One name for the bytes of one font file: two requests that the mapper
// answers with the same file embed it once.
std::string FileIdentity(const TMappedFont& mapped) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08X", Crc32(mapped.File.data(), mapped.File.size()));
  return "font data of " + mapped.Face + " (" + std::to_string(mapped.File.size()) + " bytes, " +
         crc + ")";
}

// The face's own weight and slant, to tell whether the mapper makes it
// bolder or slanted than it is, as it does for a family without such a face.
void ReadStyle(std::string_view file, size_t directory, int& weight, bool& italic) {
  std::string_view os2 = FindSfntTable(file, directory, "OS/2");
  std::string_view head = FindSfntTable(file, directory, "head");
  weight = os2.size() >= 6 ? SfntField16(os2, 4) : 0;
  if (weight <= 0) weight = (SfntField16(head, 44) & 1) ? 700 : NormalWeight;
  italic = (SfntField16(os2, 62) & 1) || (SfntField16(head, 44) & 2);
}

const std::string& KeptFile(TMappedFont& mapped, std::string& identity) {
  identity = FileIdentity(mapped);
  auto& files = Store().Files;
  auto found = files.find(identity);
  if (found == files.end())
    found = files.emplace(identity, std::make_unique<std::string>(std::move(mapped.File))).first;
  return *found->second;
}

const TFontFace* LoadMappedFace(const LOGFONTA& font, int32_t weight, std::string& why) {
  TMappedFont mapped;
  if (!ReadMappedFontFile(font, mapped, why)) return nullptr;
  std::string identity;
  const std::string& file = KeptFile(mapped, identity);
  auto face = std::make_unique<TFontFace>();
  if (!ReadSfntFace(file, mapped.Index, *face)) {
    why = "the face " + mapped.Face + " is not a TrueType face the writers can embed";
    return nullptr;
  }
  face->Family = mapped.Face;
  face->File = identity;
  face->Index = mapped.Index;
  bool italic = false;
  ReadStyle(face->Sfnt, face->SfntDirectory, face->Weight, italic);
  face->SyntheticBold = NeedsSyntheticBold(weight, face->Weight);
  face->SyntheticOblique = font.lfItalic != 0 && !italic;
  Store().Faces.push_back(std::move(face));
  return Store().Faces.back().get();
}

// The request as the mapper sees it: upright, of its natural width, and
// fixed-pitch when it names no face, so that a report keeps its columns.
LOGFONTA MapperRequest(const LOGFONTA& font, int32_t weight) {
  LOGFONTA request = font;
  request.lfWidth = 0;
  request.lfEscapement = 0;
  request.lfOrientation = 0;
  request.lfWeight = weight;
  if (request.lfFaceName[0] == 0) request.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  return request;
}

const TFontFace* FindFace(const LOGFONTA& font) {
  int32_t weight = RequestedWeight(font.lfWeight);
  std::string why;
  const TFontFace* face = LoadMappedFace(MapperRequest(font, weight), weight, why);
  if (face || font.lfFaceName[0] == 0) {
    if (!face) Diagnose("no fixed-pitch face for documents: " + why);
    return face;
  }
  std::string name(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
  Diagnose("font '" + name + "': " + why + "; the document uses a fixed-pitch face");
  LOGFONTA plain = font;
  plain.lfFaceName[0] = 0;
  face = LoadMappedFace(MapperRequest(plain, weight), weight, why);
  if (!face) Diagnose("no fixed-pitch face for documents: " + why);
  return face;
}

}  // namespace

const TFontFace* FindDocumentFace(const LOGFONTA& font) {
  TFaceRequest request{std::string(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE)),
                       RequestedWeight(font.lfWeight), font.lfItalic != 0, font.lfCharSet};
  auto& requests = Store().Requests;
  auto found = requests.find(request);
  if (found == requests.end()) found = requests.emplace(request, FindFace(font)).first;
  return found->second;
}

const TFaceGlyphs& FaceGlyphs(const TFontFace& face, const TCodePageTable& codePage) {
  auto& tables = face.GlyphTables;
  auto found = tables.find(codePage.CodePage);
  if (found == tables.end()) {
    auto glyphs = std::make_unique<TFaceGlyphs>();
    BuildSfntGlyphs(face, codePage, *glyphs);
    found = tables.emplace(codePage.CodePage, std::move(glyphs)).first;
  }
  return *found->second;
}

// Every face here holds its bytes (Sfnt), so the writers never ask for a
// file by its name.
std::string_view MapFontFile(const std::string&) { return {}; }
void UnmapFontFile(std::string_view) {}

}  // namespace tolvane
