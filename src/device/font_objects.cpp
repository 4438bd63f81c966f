// Font objects: created from a LOGFONTA, selected into contexts, deleted.
// Handles are checked against the registry of live fonts before use, and a
// font deleted while a context still holds it lives on until it is
// deselected, so no path ever touches freed memory.
#include <algorithm>
#include <string>
#include <vector>

#include "device/device.h"

namespace tolvane {

namespace {

// The stock font: all zero, so an empty face name and a default size.
TGdiObject Stock{};

std::vector<TGdiObject*> Fonts;
int32_t FontsCreated = 0;

// A job deletes its font and creates the next at every change of weight or
// size: the object freed last is kept for the next creation.
TGdiObject* SpareFont = nullptr;

void FreeFont(TGdiObject* font) {
  delete SpareFont;
  SpareFont = font;
}

TGdiObject* NewFont() {
  TGdiObject* font = SpareFont ? SpareFont : new TGdiObject;
  SpareFont = nullptr;
  return font;
}

bool IsLiveFont(HGDIOBJ object) {
  return object && std::find(Fonts.begin(), Fonts.end(), object) != Fonts.end();
}

void TellCreated(const TGdiObject* font) {
  for (TDeviceContext* dc : LiveContexts()) dc->Backend->FontCreated(dc, font);
}

void TellDeleted(const TGdiObject* font) {
  for (TDeviceContext* dc : LiveContexts()) dc->Backend->FontDeleted(dc, font);
}

}  // namespace

TGdiObject* StockFont() { return &Stock; }

std::string FontHandleName(const TGdiObject* font) {
  if (!font) return "0";
  std::string name = std::to_string(font->Id);
  name.insert(name.begin(), 'F');
  return name;
}

void ReleaseFontSelection(TGdiObject* font) {
  if (!font || font == &Stock) return;
  --font->SelectCount;
  if (font->DeletePending && font->SelectCount <= 0) FreeFont(font);
}

void ResetFontObjects() {
  for (TGdiObject* font : Fonts) delete font;
  Fonts.clear();
  delete SpareFont;
  SpareFont = nullptr;
  FontsCreated = 0;
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) {
    TellCreated(nullptr);
    return nullptr;
  }
  // A run would need two thousand million fonts to wrap; starting over then
  // beats overflowing.
  if (FontsCreated == INT32_MAX) FontsCreated = 0;
  TGdiObject* object = NewFont();
  object->Id = ++FontsCreated;
  object->Font = *font;
  object->SelectCount = 0;
  object->DeletePending = false;
  // Win32 reads at most LF_FACESIZE bytes of the name; a name that fills
  // them all is cut so that it still ends inside the array.
  object->Font.lfFaceName[LF_FACESIZE - 1] = '\0';
  Fonts.push_back(object);
  TellCreated(object);
  return object;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (!IsLiveContext(dc)) return nullptr;
  if (object != &Stock && !IsLiveFont(object)) {
    dc->Backend->FontSelected(dc, nullptr, nullptr);
    return nullptr;
  }
  TGdiObject* previous = dc->SelectedFont;
  dc->Backend->FontSelected(dc, object, previous);
  if (object != &Stock) ++object->SelectCount;
  dc->SelectedFont = object;
  // Counted up before down, so reselecting the same font never frees it.
  ReleaseFontSelection(previous);
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (object == &Stock) {
    TellDeleted(&Stock);
    return 1;
  }
  if (!IsLiveFont(object)) {
    TellDeleted(nullptr);
    return 0;
  }
  TellDeleted(object);
  Fonts.erase(std::find(Fonts.begin(), Fonts.end(), object));
  if (object->SelectCount > 0)
    object->DeletePending = true;
  else
    FreeFont(object);
  return 1;
}

}  // namespace tolvane
