#include "device/sfnt/sfnt_subset.h"

#include <algorithm>
#include <cmath>

#include "device/sfnt/sfnt_outline.h"
#include "device/sfnt/sfnt_tables.h"

namespace tolvane {

namespace {

constexpr uint16_t HasInstructions = 0x0100;  // of a component

constexpr size_t GlyphHeader = 10;  // contours and bounding box
constexpr size_t HeadSize = 54, LocationFormat = 50, HeadBoxAt = 36;
constexpr size_t HheaSize = 36, MetricCountAt = 34;
constexpr size_t AscenderAt = 4, DescenderAt = 6, AdvanceMaxAt = 10, MinLeftAt = 12, MinRightAt = 14,
                 ExtentMaxAt = 16;
constexpr size_t MaxpSize = 6, MaxpHintedSize = 32;
constexpr uint32_t MaxpHinted = 0x00010000;
constexpr size_t PostHeader = 32;

// The tables of the source font that the subset is made from.
struct TSource {
  std::string_view Head, Hhea, Maxp, Loca, Glyf, Hmtx, Os2, Post, Name, Gasp;
  uint32_t Version = 0;
  uint32_t GlyphCount = 0, MetricCount = 0;
  bool LongLocations = false;
};

bool ReadSource(std::string_view file, int index, TSource& source, std::string& reason) {
  size_t directory = 0;
  if (!FindSfntDirectory(file, index & 0xFFFF, directory)) {
    reason = "it is not a font file that can be read";
    return false;
  }
  auto table = [&](const char* tag) { return FindSfntTable(file, directory, tag); };
  source.Version = SfntRead32(file, directory);
  source.Glyf = table("glyf");
  source.Loca = table("loca");
  if (source.Glyf.empty() || source.Loca.empty()) {
    reason = "it has no TrueType outlines";
    return false;
  }
  source.Head = table("head"), source.Hhea = table("hhea"), source.Maxp = table("maxp");
  source.Hmtx = table("hmtx");
  source.Os2 = table("OS/2"), source.Post = table("post"), source.Name = table("name");
  source.Gasp = table("gasp");
  reason = "its tables cannot be read";
  if (source.Head.size() < HeadSize || source.Hhea.size() < HheaSize || source.Maxp.size() < MaxpSize)
    return false;
  source.GlyphCount = SfntRead16(source.Maxp, 4);
  source.MetricCount = SfntRead16(source.Hhea, MetricCountAt);
  source.LongLocations = SfntRead16(source.Head, LocationFormat) != 0;
  size_t entry = source.LongLocations ? 4 : 2;
  uint32_t glyphs = source.GlyphCount, metrics = source.MetricCount;
  return glyphs > 0 && metrics > 0 && metrics <= glyphs &&
         source.Loca.size() >= (size_t(glyphs) + 1) * entry &&
         source.Hmtx.size() >= 4 * size_t(metrics) + 2 * size_t(glyphs - metrics);
}

// A glyph's outline in the glyph table; empty for a glyph without one and
// for a location outside the table.
std::string_view GlyphData(const TSource& source, uint32_t glyph) {
  size_t start, end;
  if (source.LongLocations) {
    start = SfntRead32(source.Loca, 4 * size_t(glyph));
    end = SfntRead32(source.Loca, 4 * size_t(glyph) + 4);
  } else {
    start = size_t(SfntRead16(source.Loca, 2 * size_t(glyph))) * 2;
    end = size_t(SfntRead16(source.Loca, 2 * size_t(glyph) + 2)) * 2;
  }
  if (start >= end || end > source.Glyf.size()) return {};
  return source.Glyf.substr(start, end - start);
}

bool IsComposite(std::string_view outline) {
  return outline.size() >= GlyphHeader && int16_t(SfntRead16(outline, 0)) < 0;
}

// Where each component record of a composite glyph starts, and where the
// last one ends (before the glyph's instructions). False when a record runs
// past the glyph.
bool ComponentRecords(std::string_view outline, std::vector<size_t>& records, size_t& end) {
  size_t at = GlyphHeader;
  for (;;) {
    if (at + 4 > outline.size()) return false;
    uint16_t flags = SfntRead16(outline, at);
    size_t size = 4 + (flags & ArgumentsAreWords ? 4 : 2);
    if (flags & HasScale)
      size += 2;
    else if (flags & HasTwoScales)
      size += 4;
    else if (flags & HasTwoByTwo)
      size += 8;
    if (at + size > outline.size()) return false;
    records.push_back(at);
    at += size;
    if (!(flags & MoreComponents)) break;
  }
  end = at;
  return true;
}

// The glyphs asked for, glyph 0 and every glyph that a composite among
// them is built from, in order. Glyphs the font lacks are left out.
std::vector<uint32_t> GlyphClosure(const TSource& source, const std::vector<uint32_t>& asked) {
  std::vector<bool> taken(source.GlyphCount, false);
  std::vector<uint32_t> pending = {0};
  for (uint32_t glyph : asked)
    if (glyph < source.GlyphCount) pending.push_back(glyph);
  std::vector<uint32_t> glyphs;
  while (!pending.empty()) {
    uint32_t glyph = pending.back();
    pending.pop_back();
    if (taken[glyph]) continue;
    taken[glyph] = true;
    glyphs.push_back(glyph);
    std::string_view outline = GlyphData(source, glyph);
    std::vector<size_t> records;
    size_t end;
    if (!IsComposite(outline) || !ComponentRecords(outline, records, end)) continue;
    for (size_t record : records) {
      uint32_t part = SfntRead16(outline, record + 2);
      if (part < source.GlyphCount && !taken[part]) pending.push_back(part);
    }
  }
  std::sort(glyphs.begin(), glyphs.end());
  return glyphs;
}

// Where the points of a simple glyph end, from its flags: the padding after
// them is not kept. 0 when they run past the glyph.
size_t SimpleGlyphEnd(std::string_view outline, size_t points, size_t flagsAt) {
  constexpr uint8_t ShortX = 0x02, ShortY = 0x04, Repeat = 0x08, SameX = 0x10, SameY = 0x20;
  size_t at = flagsAt, xBytes = 0, yBytes = 0;
  for (size_t point = 0; point < points;) {
    if (at >= outline.size()) return 0;
    uint8_t flags = uint8_t(outline[at++]);
    size_t times = 1;
    if (flags & Repeat) {
      if (at >= outline.size()) return 0;
      times += uint8_t(outline[at++]);
    }
    xBytes += times * (flags & ShortX ? 1 : flags & SameX ? 0 : 2);
    yBytes += times * (flags & ShortY ? 1 : flags & SameY ? 0 : 2);
    point += times;
  }
  return at + xBytes + yBytes <= outline.size() ? at + xBytes + yBytes : 0;
}

// A simple glyph without its instructions; nothing for one that cannot be
// read, which then draws nothing rather than something wrong.
void AppendSimpleGlyph(std::string& glyf, std::string_view outline) {
  size_t contours = SfntRead16(outline, 0);
  size_t lengthAt = GlyphHeader + 2 * contours;
  if (lengthAt + 2 > outline.size()) return;
  size_t points = contours ? size_t(SfntRead16(outline, lengthAt - 2)) + 1 : 0;
  size_t flagsAt = lengthAt + 2 + SfntRead16(outline, lengthAt);
  size_t end = SimpleGlyphEnd(outline, points, flagsAt);
  if (end == 0) return;
  glyf.append(outline.substr(0, lengthAt));
  SfntPut16(glyf, 0);
  glyf.append(outline.substr(flagsAt, end - flagsAt));
}

// A composite glyph with its components renumbered and its instructions
// dropped.
void AppendCompositeGlyph(std::string& glyf, std::string_view outline, const TSfntSubset& subset) {
  std::vector<size_t> records;
  size_t end;
  if (!ComponentRecords(outline, records, end)) return;
  size_t start = glyf.size();
  glyf.append(outline.substr(0, end));
  for (size_t record : records) {
    SfntSet16(glyf, start + record, SfntRead16(outline, record) & ~HasInstructions);
    SfntSet16(glyf, start + record + 2, SubsetGlyph(subset, SfntRead16(outline, record + 2)));
  }
}

// A composite glyph of mapped components, kept composite: the map (which
// only scales and shifts) scales the offsets, and each component brings
// the shift along. A reader that takes a face's ascent from its simple
// glyphs (Ghostscript, of a font that comes to it in PostScript) then
// finds it where the face's own would be. False, and nothing written, for
// a composite whose components are scaled, or a map that turns.
bool AppendMappedComposite(std::string& glyf, std::string_view outline, const TSfntSubset& subset,
                           const TSfntTransform& transform, const TSfntGlyphExtent& extent) {
  std::vector<size_t> records;
  size_t end;
  if (transform.XY != 0 || transform.YX != 0 || !ComponentRecords(outline, records, end))
    return false;
  for (size_t record : records)
    if (SfntRead16(outline, record) & (HasScale | HasTwoScales | HasTwoByTwo)) return false;
  SfntPut16(glyf, 0xFFFF);  // -1 contours: a composite
  for (int16_t edge : {extent.XMin, extent.YMin, extent.XMax, extent.YMax})
    SfntPut16(glyf, uint16_t(edge));
  for (size_t record : records) {
    uint16_t flags = SfntRead16(outline, record) & ~HasInstructions;
    bool words = flags & ArgumentsAreWords;
    SfntPut16(glyf, flags | (flags & ArgumentsAreOffsets ? ArgumentsAreWords : 0));
    SfntPut16(glyf, SubsetGlyph(subset, SfntRead16(outline, record + 2)));
    if (!(flags & ArgumentsAreOffsets)) {  // point numbers stay as they are
      glyf.append(outline.substr(record + 4, words ? 4 : 2));
      continue;
    }
    double dx = words ? int16_t(SfntRead16(outline, record + 4)) : int8_t(outline[record + 4]);
    double dy = words ? int16_t(SfntRead16(outline, record + 6)) : int8_t(outline[record + 5]);
    SfntPut16(glyf, uint16_t(RoundToInt16(transform.XX * dx)));
    SfntPut16(glyf, uint16_t(RoundToInt16(transform.YY * dy)));
  }
  return true;
}

// A glyph flattened, mapped and written as a simple glyph; nothing for one
// that cannot be flattened, as for a glyph that cannot be read.
TSfntGlyphExtent AppendFlattenedGlyph(std::string& glyf, const TSource& source,
                                      const TSfntSubset& subset, uint32_t glyph,
                                      const TSfntTransform& transform) {
  // Components outside the font, and the missing-glyph glyph, draw
  // nothing, as they do in the subset without a transform.
  auto data = [&](uint32_t part) {
    return part == 0 || part >= source.GlyphCount ? std::string_view() : GlyphData(source, part);
  };
  TSfntOutline outline;
  if (!FlattenGlyph(data, glyph, outline)) return {};
  std::string simple;
  TSfntGlyphExtent extent = AppendMappedGlyph(simple, outline, transform);
  std::string_view stored = data(glyph);
  if (extent.Points > 0 && IsComposite(stored) &&
      AppendMappedComposite(glyf, stored, subset, transform, extent))
    return extent;
  glyf += simple;
  return extent;
}

// The glyph and location tables of the subset; the locations are short
// where the glyph table allows. With a transform, what each glyph came to
// is kept in extents for the tables that describe the whole font.
void WriteOutlines(const TSource& source, const TSfntSubset& subset, const TSfntTransform* transform,
                   std::string& glyf, std::string& loca, bool& longLocations,
                   std::vector<TSfntGlyphExtent>& extents) {
  std::vector<size_t> offsets = {0};
  for (uint32_t glyph : subset.OldGlyphs) {
    // The missing-glyph glyph draws nothing, as a character the face
    // lacks draws nothing on the other drivers.
    std::string_view outline = glyph == 0 ? std::string_view() : GlyphData(source, glyph);
    extents.emplace_back();
    if (transform) {
      extents.back() = AppendFlattenedGlyph(glyf, source, subset, glyph, *transform);
    } else if (IsComposite(outline)) {
      AppendCompositeGlyph(glyf, outline, subset);
    } else if (outline.size() >= GlyphHeader) {
      AppendSimpleGlyph(glyf, outline);
    }
    if (glyf.size() % 2) glyf += '\0';  // short locations count words
    offsets.push_back(glyf.size());
  }
  // A table of no bytes reads as a missing one: a subset of blank glyphs
  // (a page of spaces) keeps one byte there.
  if (glyf.empty()) glyf += '\0';
  longLocations = glyf.size() > 0x1FFFE;
  for (size_t offset : offsets)
    longLocations ? SfntPut32(loca, uint32_t(offset)) : SfntPut16(loca, uint32_t(offset / 2));
}

// The advance of each glyph of the subset. Mapped glyphs have theirs
// scaled with them: the document sets its own widths, this only keeps the
// font's numbers in step with its outlines.
std::vector<uint32_t> Advances(const TSource& source, const TSfntSubset& subset,
                               const TSfntTransform* transform) {
  std::vector<uint32_t> advances;
  for (uint32_t glyph : subset.OldGlyphs) {
    uint32_t advance = SfntRead16(source.Hmtx, 4 * size_t(std::min(glyph, source.MetricCount - 1)));
    if (transform) {
      double scaled = std::round(transform->XX * advance);
      advance = scaled >= 0xFFFF ? 0xFFFF : scaled > 0 ? uint32_t(scaled) : 0;
    }
    advances.push_back(advance);
  }
  return advances;
}

// Advances and left side bearings; a run of equal advances at the end is
// kept once, as the format allows. Mapped glyphs bear left where their new
// boxes start.
std::string HorizontalMetrics(const TSource& source, const TSfntSubset& subset,
                              const std::vector<uint32_t>& advances, const TSfntTransform* transform,
                              const std::vector<TSfntGlyphExtent>& extents, uint32_t& count) {
  auto bearing = [&](uint32_t glyph) {
    size_t metrics = source.MetricCount;
    return glyph < metrics ? SfntRead16(source.Hmtx, 4 * size_t(glyph) + 2)
                           : SfntRead16(source.Hmtx, 4 * metrics + 2 * (glyph - metrics));
  };
  const std::vector<uint32_t>& old = subset.OldGlyphs;
  count = uint32_t(old.size());
  while (count > 1 && advances[count - 1] == advances[count - 2]) --count;
  std::string hmtx;
  for (uint32_t i = 0; i < old.size(); ++i) {
    if (i < count) SfntPut16(hmtx, advances[i]);
    SfntPut16(hmtx, transform ? uint16_t(extents[i].XMin) : bearing(old[i]));
  }
  return hmtx;
}

// The font-wide numbers that follow from mapped glyphs: the box of them
// all, the ascender and descender mapped as the glyphs are, the horizontal
// extremes, and the largest glyph in points and contours (a composite
// counted flattened). The source's box stays when no glyph has an outline.
void MapFontFrame(const TSfntTransform& transform, const std::vector<TSfntGlyphExtent>& extents,
                  const std::vector<uint32_t>& advances, std::string& head, std::string& hhea,
                  std::string& maxp) {
  int32_t xMin = 0, yMin = 0, xMax = 0, yMax = 0, minRight = 0;
  uint32_t points = 0, contours = 0;
  bool drawn = false;
  for (size_t i = 0; i < extents.size(); ++i) {
    const TSfntGlyphExtent& e = extents[i];
    if (e.Points == 0) continue;
    int32_t right = int32_t(advances[i]) - e.XMax;
    xMin = drawn ? std::min<int32_t>(xMin, e.XMin) : e.XMin;
    yMin = drawn ? std::min<int32_t>(yMin, e.YMin) : e.YMin;
    xMax = drawn ? std::max<int32_t>(xMax, e.XMax) : e.XMax;
    yMax = drawn ? std::max<int32_t>(yMax, e.YMax) : e.YMax;
    minRight = drawn ? std::min(minRight, right) : right;
    points = std::max<uint32_t>(points, e.Points), contours = std::max<uint32_t>(contours, e.Contours);
    drawn = true;
  }
  if (drawn) {
    size_t at = HeadBoxAt;
    for (int32_t edge : {xMin, yMin, xMax, yMax}) SfntSet16(head, at, uint16_t(edge)), at += 2;
    // The left side bearings are the glyphs' xMin, so the furthest extent
    // is the box's right edge.
    SfntSet16(hhea, MinLeftAt, uint16_t(xMin));
    SfntSet16(hhea, MinRightAt, uint16_t(RoundToInt16(minRight)));
    SfntSet16(hhea, ExtentMaxAt, uint16_t(xMax));
  }
  for (size_t at : {AscenderAt, DescenderAt}) {
    double y = int16_t(SfntRead16(hhea, at));
    SfntSet16(hhea, at, uint16_t(RoundToInt16(transform.YY * y + transform.DY)));
  }
  SfntSet16(hhea, AdvanceMaxAt, *std::max_element(advances.begin(), advances.end()));
  if (SfntRead32(maxp, 0) == MaxpHinted && maxp.size() >= MaxpHintedSize) {
    SfntSet16(maxp, 6, points), SfntSet16(maxp, 8, contours);
    // The composites' limits stay the source's: they are kept composite
    // or flattened, never deeper or larger.
  }
}

// The maximum profile of the new glyph count; the hinting limits of a
// version 1 profile say that there are no instructions (one zone, no
// storage, functions or stack).
std::string MaximumProfile(const TSource& source, uint32_t glyphs) {
  std::string maxp(source.Maxp);
  SfntSet16(maxp, 4, glyphs);
  if (SfntRead32(maxp, 0) == MaxpHinted && maxp.size() >= MaxpHintedSize) {
    SfntSet16(maxp, 14, 1);
    for (size_t at = 16; at <= 26; at += 2) SfntSet16(maxp, at, 0);
  }
  return maxp;
}

// The names a font is known by (copyright, family, style, identifier, full
// name, version, PostScript name); the rest, licence texts among them,
// only adds bytes. Empty when the table cannot be read.
std::string FontNames(std::string_view name) {
  constexpr size_t RecordsAt = 6, RecordSize = 12, LastKept = 6;
  if (name.size() < RecordsAt || SfntRead16(name, 0) != 0) return {};
  size_t count = SfntRead16(name, 2), storage = SfntRead16(name, 4);
  if (RecordsAt + count * RecordSize > name.size()) return {};
  std::string records, strings;
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t record = RecordsAt + i * RecordSize;
    size_t id = SfntRead16(name, record + 6), length = SfntRead16(name, record + 8);
    size_t offset = storage + SfntRead16(name, record + 10);
    if (id > LastKept || offset + length > name.size()) continue;
    records.append(name.substr(record, 8));
    SfntPut16(records, uint32_t(length));
    SfntPut16(records, uint32_t(strings.size()));
    strings.append(name.substr(offset, length));
    ++kept;
  }
  std::string table;
  SfntPut16(table, 0), SfntPut16(table, uint32_t(kept));
  SfntPut16(table, uint32_t(RecordsAt + kept * RecordSize));
  return table + records + strings;
}

std::vector<TSfntTable> SubsetTables(const TSource& source, const TSfntSubset& subset,
                                     const TSfntTransform* transform) {
  std::vector<TSfntTable> tables;
  std::string glyf, loca;
  bool longLocations;
  std::vector<TSfntGlyphExtent> extents;
  WriteOutlines(source, subset, transform, glyf, loca, longLocations, extents);
  uint32_t metrics;
  std::vector<uint32_t> advances = Advances(source, subset, transform);
  std::string hmtx = HorizontalMetrics(source, subset, advances, transform, extents, metrics);
  std::string head(source.Head), hhea(source.Hhea);
  std::string maxp = MaximumProfile(source, uint32_t(subset.OldGlyphs.size()));
  SfntSet16(head, LocationFormat, longLocations ? 1 : 0);
  SfntSet16(hhea, MetricCountAt, metrics);
  if (transform) MapFontFrame(*transform, extents, advances, head, hhea, maxp);
  tables.push_back({"glyf", std::move(glyf)});
  tables.push_back({"loca", std::move(loca)});
  tables.push_back({"hmtx", std::move(hmtx)});
  tables.push_back({"head", std::move(head)});
  tables.push_back({"hhea", std::move(hhea)});
  tables.push_back({"maxp", std::move(maxp)});
  for (auto [tag, kept] : {std::pair{"OS/2", source.Os2}, std::pair{"gasp", source.Gasp}})
    if (!kept.empty()) tables.push_back({tag, std::string(kept)});
  // Version 3 of the PostScript table: the same header, no glyph names.
  if (source.Post.size() >= PostHeader) {
    std::string post(source.Post.substr(0, PostHeader));
    SfntSet16(post, 0, 3), SfntSet16(post, 2, 0);
    tables.push_back({"post", std::move(post)});
  }
  std::string names = FontNames(source.Name);
  if (!names.empty()) tables.push_back({"name", std::move(names)});
  return tables;
}

}  // namespace

bool SubsetTrueType(std::string_view file, int index, const std::vector<uint32_t>& glyphs,
                    TSfntSubset& subset, std::string& reason, const TSfntTransform* transform) {
  TSource source;
  if (!ReadSource(file, index, source, reason)) return false;
  subset.OldGlyphs = GlyphClosure(source, glyphs);
  std::vector<TSfntTable> tables = SubsetTables(source, subset, transform);
  // Apple's own tag is kept; anything else writes the usual version.
  constexpr uint32_t AppleTrueType = 0x74727565, TrueType = 0x00010000;
  subset.Program = WriteSfntTables(source.Version == AppleTrueType ? AppleTrueType : TrueType, tables);
  return true;
}

uint32_t SubsetGlyph(const TSfntSubset& subset, uint32_t oldGlyph) {
  auto found = std::lower_bound(subset.OldGlyphs.begin(), subset.OldGlyphs.end(), oldGlyph);
  if (found == subset.OldGlyphs.end() || *found != oldGlyph) return 0;
  return uint32_t(found - subset.OldGlyphs.begin());
}

}  // namespace tolvane
