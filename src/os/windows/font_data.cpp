// The face that the Windows font mapper gives for a font description, as
// the bytes of its font file: what a document of the program's own embeds,
// so that it shows what a Windows printer would print.
#include <cstring>
#include <string>

#include "os/windows/font_data.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

constexpr ::DWORD CollectionTag = 0x66637474;  // 'ttcf', as GetFontData takes tags
constexpr ::DWORD HeadTag = 0x64616568;        // 'head'

uint32_t Read32(const std::string& bytes, size_t at) {
  if (at + 4 > bytes.size()) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool TableData(::HDC dc, ::DWORD tag, std::string& bytes) {
  ::DWORD size = ::GetFontData(dc, tag, 0, nullptr, 0);
  if (size == GDI_ERROR || size == 0) return false;
  bytes.assign(size, '\0');
  return ::GetFontData(dc, tag, 0, bytes.data(), size) == size;
}

// The head table of the face at offset in a font file, or empty.
std::string HeadAt(const std::string& file, size_t offset) {
  uint32_t tables = Read32(file, offset + 4) >> 16;
  for (uint32_t i = 0; i < tables; i++) {
    size_t record = offset + 12 + 16 * size_t(i);
    if (Read32(file, record) != 0x68656164) continue;  // 'head'
    size_t start = Read32(file, record + 8), length = Read32(file, record + 12);
    if (start + length > file.size()) return std::string();
    return file.substr(start, length);
  }
  return std::string();
}

// Which face of a collection was selected: the one whose head table is the
// selected face's, byte for byte (its dates and checksum tell faces apart).
int FaceInCollection(const std::string& file, const std::string& head) {
  uint32_t faces = Read32(file, 8);
  for (uint32_t face = 0; face < faces && face < 0x10000; face++) {
    if (HeadAt(file, Read32(file, 12 + 4 * size_t(face))) == head) return int(face);
  }
  return -1;
}

}  // namespace

bool ReadMappedFontFile(const LOGFONTA& font, TMappedFont& mapped, std::string& why) {
  ::LOGFONTA description;
  std::memcpy(&description, &font, sizeof description);
  ::HDC dc = ::CreateCompatibleDC(nullptr);
  ::HFONT handle = dc ? ::CreateFontIndirectA(&description) : nullptr;
  if (!handle) {
    if (dc) ::DeleteDC(dc);
    why = "the font mapper gives no font";
    return false;
  }
  ::HGDIOBJ previous = ::SelectObject(dc, handle);
  char face[LF_FACESIZE] = {};
  ::GetTextFaceA(dc, sizeof face, face);
  mapped.Face = face;
  mapped.Index = 0;
  bool ok = true;
  std::string head;
  if (TableData(dc, CollectionTag, mapped.File) && Read32(mapped.File, 0) == CollectionTag) {
    ok = TableData(dc, HeadTag, head) && (mapped.Index = FaceInCollection(mapped.File, head)) >= 0;
    if (!ok) why = "the face " + mapped.Face + " cannot be found in its font collection";
  } else if (!TableData(dc, 0, mapped.File)) {
    ok = false;
    why = "the face " + mapped.Face + " gives no font data (not a TrueType or OpenType font)";
  }
  ::SelectObject(dc, previous);
  ::DeleteObject(handle);
  ::DeleteDC(dc);
  return ok;
}

bool CodePageCharacters(int32_t codePage, char32_t characters[256]) {
  ::CPINFO info;
  if (codePage <= 0 || !::GetCPInfo(static_cast<UINT>(codePage), &info) || info.MaxCharSize != 1)
    return false;
  for (int byte = 0; byte < 256; byte++) {
    char in = static_cast<char>(byte);
    wchar_t out[2] = {};
    int got = ::MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, &in, 1, out, 2);
    // A byte that the code page leaves undefined stands for the code point
    // of the same value.
    characters[byte] = got == 1 ? char32_t(out[0]) : char32_t(byte);
  }
  return true;
}

}  // namespace tolvane
