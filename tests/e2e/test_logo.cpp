// The logo command on whole jobs: what reaches the device from good and
// broken BMP files, and how the job goes on after a logo that fails.
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host.h"

namespace {

void Put16(std::string& bytes, uint16_t value) {
  bytes += static_cast<char>(value & 0xff);
  bytes += static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xff);
}

std::string Noise(size_t count, uint32_t seed) {
  std::string bytes;
  for (size_t i = 0; i < count; i++) {
    seed = seed * 1664525u + 1013904223u;
    bytes += static_cast<char>(seed >> 24);
  }
  return bytes;
}

// A bitmap as the host's tools write it: the information header (40 bytes,
// or a later one of more), then masks, palette and pixels; the bits offset
// says where the pixels begin unless set otherwise.
struct TBitmap {
  int32_t Width = 2;
  int32_t Height = 2;
  uint16_t BitCount = 24;
  uint32_t Compression = 0;
  uint32_t ColorsUsed = 0;
  uint32_t HeaderSize = 40;
  std::string Masks;    // after a 40-byte header; inside a later one
  std::string Palette;
  std::string Gap;      // between the palette and the pixels
  std::string Pixels;
  std::string Trailer;  // after the pixels
  int64_t BitsOffset = -1;

  std::string Block() const {
    std::string block;
    Put32(block, HeaderSize);
    Put32(block, static_cast<uint32_t>(Width));
    Put32(block, static_cast<uint32_t>(Height));
    Put16(block, 1);
    Put16(block, BitCount);
    Put32(block, Compression);
    Put32(block, static_cast<uint32_t>(Pixels.size()));
    Put32(block, 2835);
    Put32(block, 2835);
    Put32(block, ColorsUsed);
    Put32(block, 0);
    if (HeaderSize > 40) {
      std::string rest = Masks;
      rest.resize(HeaderSize - 40, '\0');
      block += rest;
    } else {
      block += Masks;
    }
    return block + Palette + Gap + Pixels + Trailer;
  }

  uint32_t BitsFileOffset() const {
    if (BitsOffset >= 0) return static_cast<uint32_t>(BitsOffset);
    size_t masks = HeaderSize > 40 ? 0 : Masks.size();
    return static_cast<uint32_t>(14 + HeaderSize + masks + Palette.size() + Gap.size());
  }

  std::string File() const {
    std::string block = Block();
    std::string file = "BM";
    Put32(file, static_cast<uint32_t>(14 + block.size()));
    Put32(file, 0);
    Put32(file, BitsFileOffset());
    return file + block;
  }
};

TBitmap Bitmap(int32_t width, int32_t height, uint16_t bitCount, uint32_t colors = 0) {
  TBitmap bitmap;
  bitmap.Width = width;
  bitmap.Height = height;
  bitmap.BitCount = bitCount;
  bitmap.ColorsUsed = colors;
  size_t entries = colors != 0 ? colors : bitCount <= 8 ? 1u << bitCount : 0;
  bitmap.Palette = Noise(entries * 4, 7u + bitCount);
  size_t row = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
  size_t rows = static_cast<size_t>(height < 0 ? -int64_t{height} : height);
  bitmap.Pixels = Noise(row * rows, 99u + bitCount);
  return bitmap;
}

// The StretchDIBits line of a logo drawn into the rectangle 100,150,500,300
// of the example device.
std::string DrawnLine(const TBitmap& bitmap, const std::string& destination = "118 177 591 354") {
  std::string block = bitmap.Block();
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(block.data()), uInt(block.size()));
  char line[200];
  std::snprintf(line, sizeof line,
                "StretchDIBits %s 0 0 %d %d size=%zu bits=+%lld crc32=%08lx usage=0 "
                "rop=0x00cc0020\n",
                destination.c_str(), bitmap.Width, bitmap.Height, block.size(),
                static_cast<long long>(bitmap.BitsFileOffset()) - 14, crc);
  return line;
}

const char LogoConfiguration[] =
    "[sequences]\n"
    "G=BITM:logo.bmp\n"
    "S=BITM:logo.bmp,100\n"
    "H=BITM:nothere.bmp\n"
    "E=BITM:\n"
    "D=BITM:.\n"
    "V=VERT:1\n";

// A page that was begun and ended with nothing drawn on it.
std::string EmptySheetTrace() {
  return TraceStreamStart("") + TracePageStart(1, 2, "") + "EndPage\n" + TraceClosing(2);
}

}  // namespace

// What one job made of each of several logos.
struct TEachLogo {
  int ExitCode;
  std::vector<std::vector<std::string>> Drawn;  // the StretchDIBits lines of each logo
  std::vector<std::string> Errors;               // the console's lines
};

class Logo : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteConfiguration(LogoConfiguration);
  }

  // Prints "ESC G:100,150,500,300; A" with the given logo file.
  TJobResult PrintLogo(const std::string& file) {
    WriteConfiguration(LogoConfiguration);
    WriteFile("logo.bmp", file);
    WriteFile("report.txt", "\x1bG:100,150,500,300;A");
    return Run({"report.txt", "1"});
  }

  // Draws every file into the rectangle 100,150,500,300, each by an escape
  // letter of its own on a line of its own, in one job. The letter is then
  // drawn as a marker, which closes what belongs to that logo.
  TEachLogo DrawEach(const std::vector<std::string>& files, bool rotated) {
    static const char Letters[] = "0123456789abdefghijklmnopqrstuvwxyz";  // c starts the job
    TEachLogo each{0, {}, {}};
    for (size_t first = 0; first < files.size(); first += sizeof Letters - 1) {
      std::string configuration = "[sequences]\n!=VERT:1\n";
      std::string report = rotated ? "\x1b!" : "";
      size_t count = std::min(files.size() - first, sizeof Letters - 1);
      for (size_t i = 0; i < count; i++) {
        std::string name = "logo" + std::to_string(i) + ".bmp";
        WriteFile(name, files[first + i]);
        configuration += Letters[i] + ("=BITM:" + name + ",100,150,500,300\n");
        report += std::string("\x1b") + Letters[i] + Letters[i] + "\n";
      }
      WriteConfiguration(configuration);
      WriteFile("report.txt", report);
      TJobResult job = Run({"report.txt", "1"});
      if (job.ExitCode != 0) each.ExitCode = job.ExitCode;
      std::vector<std::string> drawn;
      for (const std::string& line : TraceLines(job.Trace)) {
        if (line.rfind("StretchDIBits ", 0) == 0) drawn.push_back(line + "\n");
        if (line.rfind("TextOutA ", 0) == 0) {
          each.Drawn.push_back(drawn);
          drawn.clear();
        }
      }
      for (const std::string& line : TraceLines(job.Errors)) each.Errors.push_back(line);
    }
    return each;
  }
};

TEST_F(Logo, WellFormedBitmapsAreHandedOverWhole) {
  struct Case {
    const char* what;
    TBitmap bitmap;
  };
  std::vector<Case> cases = {
      {"1 bit", Bitmap(8, 2, 1)},
      {"1 bit, rows padded", Bitmap(33, 3, 1)},
      {"4 bits", Bitmap(3, 2, 4)},
      {"4 bits, 3 colours", Bitmap(5, 2, 4, 3)},
      {"8 bits", Bitmap(5, 3, 8)},
      {"8 bits, 2 colours", Bitmap(4, 4, 8, 2)},
      {"16 bits", Bitmap(3, 2, 16)},
      {"24 bits", Bitmap(2, 2, 24)},
      {"24 bits, rows padded", Bitmap(3, 1, 24)},
      {"32 bits", Bitmap(2, 2, 32)},
      {"top-down 24 bits", Bitmap(2, -2, 24)},
      {"top-down 8 bits", Bitmap(7, -5, 8)},
      {"top-down 1 bit", Bitmap(9, -1, 1)},
  };
  TBitmap fields = Bitmap(3, 2, 16);
  fields.Compression = 3;  // bit fields: three masks follow the 40-byte header
  fields.Masks = std::string("\x00\xf8\x00\x00\xe0\x07\x00\x00\x1f\x00\x00\x00", 12);
  cases.push_back({"16 bits with masks", fields});
  TBitmap later = Bitmap(2, 2, 32);
  later.HeaderSize = 124;  // the masks sit inside the later header
  later.Compression = 3;
  later.Masks = std::string("\x00\x00\xff\x00\x00\xff\x00\x00\xff\x00\x00\x00\x00\x00\x00\xff", 16);
  cases.push_back({"32 bits, 124-byte header", later});
  TBitmap gap = Bitmap(2, 2, 8, 2);
  gap.Gap = std::string(10, '\x55');
  cases.push_back({"pixels after a gap", gap});
  TBitmap trailer = Bitmap(2, 2, 24);
  trailer.Trailer = "more bytes than the pixels need";
  cases.push_back({"bytes after the pixels", trailer});
  // Blocks around the sizes in which the file is read.
  for (size_t size : {4095u, 4096u, 4097u, 8192u, 8193u, 200000u}) {
    TBitmap sized = Bitmap(100, 2, 32);
    sized.Trailer = Noise(size - sized.Block().size(), static_cast<uint32_t>(size));
    cases.push_back({"a block of a read's size", sized});
  }
  std::vector<std::string> files;
  for (const Case& c : cases) files.push_back(c.bitmap.File());
  TEachLogo upright = DrawEach(files, false);
  EXPECT_EQ(upright.ExitCode, 0);
  EXPECT_EQ(upright.Errors, std::vector<std::string>{});
  ASSERT_EQ(upright.Drawn.size(), cases.size());
  for (size_t i = 0; i < cases.size(); i++) {
    SCOPED_TRACE(cases[i].what + std::string(", block of ") +
                 std::to_string(cases[i].bitmap.Block().size()));
    EXPECT_EQ(upright.Drawn[i], std::vector<std::string>{DrawnLine(cases[i].bitmap)});
  }
  // Rotated, the same files are read and none is drawn.
  TEachLogo rotated = DrawEach(files, true);
  EXPECT_EQ(rotated.ExitCode, 0);
  EXPECT_EQ(rotated.Errors, std::vector<std::string>{});
  EXPECT_EQ(rotated.Drawn, std::vector<std::vector<std::string>>(cases.size()));
}

TEST_F(Logo, BrokenFilesWarnDrawNothingAndTheJobGoesOn) {
  struct Case {
    std::string what;
    std::string file;
  };
  std::vector<Case> cases;
  std::string good = Bitmap(2, 2, 24).File();
  for (size_t size = 0; size <= 14; size++)
    cases.push_back({"a file of " + std::to_string(size) + " bytes", good.substr(0, size)});
  for (size_t block : {1u, 11u, 12u, 20u, 39u})
    cases.push_back({"an information header cut after " + std::to_string(block) + " bytes",
                     good.substr(0, 14 + block)});
  TBitmap table = Bitmap(4, 2, 8, 100);
  table.ColorsUsed = 0;  // 256 colours, of which the file holds 100
  cases.push_back({"a colour table past the end", table.File()});
  TBitmap manyColours = Bitmap(8, 2, 1);
  manyColours.ColorsUsed = 0xffffffff;
  cases.push_back({"four thousand million colours", manyColours.File()});
  TBitmap masks = Bitmap(0, 0, 16);
  masks.Compression = 3;
  masks.Masks = std::string(8, '\xff');
  cases.push_back({"masks cut short", masks.File()});
  for (int64_t offset : {int64_t{0}, int64_t{13}, int64_t(good.size()) + 1, int64_t{0x7fffffff},
                         int64_t{0xffffffff}}) {
    TBitmap bitmap = Bitmap(2, 2, 24);
    bitmap.BitsOffset = offset;
    cases.push_back({"bits at file offset " + std::to_string(offset), bitmap.File()});
  }
  TBitmap late = Bitmap(2, 2, 24);
  late.BitsOffset = late.BitsFileOffset() + 1;  // the last row then lacks a byte
  cases.push_back({"bits one byte late", late.File()});
  struct Short {
    const char* what;
    TBitmap bitmap;
  } shorts[] = {
      {"24 bits", Bitmap(2, 2, 24)},       {"24 bits, top-down", Bitmap(2, -2, 24)},
      {"1 bit", Bitmap(8, 2, 1)},           {"4 bits", Bitmap(3, 2, 4)},
      {"8 bits", Bitmap(5, 3, 8)},          {"16 bits", Bitmap(3, 2, 16)},
      {"32 bits", Bitmap(2, 2, 32)},        {"32 bits, one row", Bitmap(1019, 1, 32)},
  };
  for (Short s : shorts) {
    s.bitmap.Pixels.pop_back();
    cases.push_back({std::string("pixels one byte short, ") + s.what, s.bitmap.File()});
  }
  TBitmap lowest = Bitmap(2, 2, 24);
  lowest.Height = INT32_MIN;
  cases.push_back({"the lowest height", lowest.File()});
  TBitmap vast = Bitmap(2, 2, 32);
  vast.Width = INT32_MAX;
  vast.Height = INT32_MAX;
  cases.push_back({"the largest width and height", vast.File()});
  TBitmap vastDown = vast;
  vastDown.Height = -INT32_MAX;
  cases.push_back({"the largest width and height, top-down", vastDown.File()});

  std::vector<std::string> files;
  for (const Case& c : cases) files.push_back(c.file);
  // The file is checked before its coordinates are read, so a rotated page,
  // which draws no logo, warns all the same.
  for (bool rotated : {false, true}) {
    SCOPED_TRACE(rotated ? "rotated" : "upright");
    TEachLogo each = DrawEach(files, rotated);
    EXPECT_EQ(each.ExitCode, 0);
    ASSERT_EQ(each.Drawn.size(), cases.size());
    for (size_t i = 0; i < cases.size(); i++)
      EXPECT_EQ(each.Drawn[i], std::vector<std::string>{}) << cases[i].what;
    // Each logo: the warning, then a line that says what was wrong.
    ASSERT_EQ(each.Errors.size(), 2 * cases.size());
    for (size_t i = 0; i < cases.size(); i++) {
      EXPECT_EQ(each.Errors[2 * i] + "\n", FailureWarning);
      EXPECT_NE(each.Errors[2 * i + 1] + "\n", FailureWarning);
      EXPECT_NE(each.Errors[2 * i + 1], "");
    }
  }
  // One broken logo on its own: the page with it and the text after it.
  TJobResult job = PrintLogo(good.substr(0, 20));
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, TraceStreamStart("") + TracePageStart(1, 2, "") +
                           "TextOutA 0 0 \"A\"\nEndPage\n" + TraceClosing(2));
  EXPECT_EQ(TraceLines(job.Errors).size(), 2u);
}

TEST_F(Logo, AFailedLogoLeavesThePenAndTheNextLogoAlone) {
  TBitmap bitmap = Bitmap(2, 2, 24);
  WriteFile("logo.bmp", bitmap.File());
  WriteFile("report.txt", "AB\x1bG:100,150,500,1-2;C\x1bG:100,150,500,300;D");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, TraceStreamStart("") + TracePageStart(1, 2, "") +
                           "TextOutA 0 0 \"A\"\nTextOutA 28 0 \"B\"\nTextOutA 57 0 \"C\"\n" +
                           DrawnLine(bitmap) + "TextOutA 85 0 \"D\"\nEndPage\n" +
                           TraceClosing(2));
  EXPECT_EQ(job.Errors, std::string(FailureWarning) +
                            "drawing the logo 'logo.bmp': '1-2' is not a valid integer value\n");
}

TEST_F(Logo, MalformedCoordinatesWarnAndPrintingGoesOn) {
  WriteFile("logo.bmp", Bitmap(2, 2, 24).File());
  struct Case {
    std::string arguments;
    std::string run;
  } cases[] = {
      {"100,150,500,1-2", "1-2"},
      {"-,150,500,300", "-"},
      {"100,+", "+"},
      {"100,150,99999999999,300", "99999999999"},
      {"1-2", "1-2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    for (const char* before : {"", "\x1bV"}) {
      if (before[0] != 0 && &c != &cases[0]) continue;  // rotated, the coordinates are read too
      WriteFile("report.txt", std::string(before) + "\x1bG:" + c.arguments + ";A\nB");
      TJobResult job = Run({"report.txt", "1"});
      EXPECT_EQ(job.ExitCode, 0);
      EXPECT_EQ(CountTraceLines(job.Trace, "StretchDIBits"), 0u);
      EXPECT_EQ(CountTraceLines(job.Trace, "TextOutA "), 2u);
      EXPECT_EQ(job.Errors, std::string(FailureWarning) + "drawing the logo 'logo.bmp': '" + c.run +
                                "' is not a valid integer value\n");
    }
  }
}

TEST_F(Logo, CoordinatesTakeTheLastFieldAgainAndAreAbsolute) {
  TBitmap bitmap = Bitmap(2, 2, 24);
  WriteFile("logo.bmp", bitmap.File());
  struct Case {
    std::string report;
    std::string destination;
  } cases[] = {
      {"\x1bGA", "0 0 0 0"},  // the file name comes again and reads as 0
      {"\x1bSA", "118 118 118 118"},
      {"\x1bG:100;A", "118 118 118 118"},
      {"\x1bG:,,,;A", "0 0 0 0"},
      {"\x1bG:100mm,150x,500 ,300;A", "118 177 591 354"},
      {"\x1bG:100,150,500,300,-7,x;A", "118 177 591 354"},
      {"\x1bG:-100,-150,-500,-300;A", "-118 -177 -591 -354"},
      {"\x1bG: 100,150,500,300;A", "0 177 591 354"},
      // The device pixels are the low 32 bits of the whole quotient.
      {"\x1bG:2147483647,-2147483648,0,1;A", "-1756070374 1758392535 0 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.report.substr(1));
    // Margins and the pen move the text, never the logo.
    WriteConfiguration(std::string(LogoConfiguration) +
                       "[preferences]\nleftmargin=10\nuppermargin=5\n");
    WriteFile("report.txt", "xyz\n\tw" + c.report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_NE(job.Trace.find(DrawnLine(bitmap, c.destination) + "TextOutA 365 97 \"A\"\n"),
              std::string::npos)
        << job.Trace;
    EXPECT_EQ(job.Errors, "");
  }
}

TEST_F(Logo, LogoThatCannotBeOpenedWarnsAndStillBeginsThePage) {
  const std::string cases[] = {
      "\x1bH:100,150,500,300;",
      "\x1bH:1-2;",  // the coordinates of a missing file are never read
      "\x1bH",
      "\x1b" "E:100,150,500,300;",  // an empty name
      "\x1b" "D:100,150,500,300;",  // a directory
      "\x1bV\x1bH:100,150,500,300;\x1bV",
  };
  for (const std::string& report : cases) {
    SCOPED_TRACE(report.substr(1));
    WriteFile("report.txt", report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(CountTraceLines(job.Trace, "StartPage"), 1u);
    EXPECT_EQ(CountTraceLines(job.Trace, "EndPage"), 1u);
    EXPECT_EQ(CountTraceLines(job.Trace, "StretchDIBits"), 0u);
    // The second line names the file that was looked for.
    EXPECT_EQ(job.Errors.rfind(MissingLogoWarning, 0), 0u) << job.Errors;
    EXPECT_EQ(TraceLines(job.Errors).size(), 2u) << job.Errors;
  }
  WriteFile("report.txt", cases[0]);
  EXPECT_EQ(Run({"report.txt", "1"}).Trace, EmptySheetTrace());
}

TEST_F(Logo, RotatedPageReadsTheLogoButDrawsNothing) {
  WriteFile("logo.bmp", Bitmap(2, 2, 24).File());
  WriteFile("report.txt", "\x1bV\x1bG:100,150,500,300;\x1bV");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(CountTraceLines(job.Trace, "StartPage"), 1u);
  EXPECT_EQ(CountTraceLines(job.Trace, "EndPage"), 1u);
  EXPECT_EQ(CountTraceLines(job.Trace, "StretchDIBits"), 0u);
  EXPECT_EQ(job.Errors, "");
  // Back upright on the same page, the logo is drawn.
  WriteConfiguration(std::string(LogoConfiguration) + "U=VERT:0\n");
  WriteFile("report.txt", "\x1bV\x1bG:100,150,500,300;\x1bU\x1bG:100,150,500,300;");
  job = Run({"report.txt", "1"});
  EXPECT_EQ(CountTraceLines(job.Trace, "StretchDIBits"), 1u);
  EXPECT_EQ(job.Errors, "");
}

TEST_F(Logo, LogoOnAPageOutOfTheRangeTouchesNothing) {
  WriteFile("report.txt", "A\fB\fC");
  TJobResult reference = Run({"report.txt", "1", "1"});
  ASSERT_EQ(reference.ExitCode, 0);
  TJobResult lastPage = Run({"report.txt", "3", "3"});
  ASSERT_EQ(lastPage.ExitCode, 0);
  struct Case {
    const char* what;
    std::string logo;      // what logo.bmp holds; empty: no file
    std::string sequence;  // on page 2
  } cases[] = {
      {"a good logo", Bitmap(2, 2, 24).File(), "\x1bG:100,150,500,300;"},
      {"a missing logo", "", "\x1bH:100,150,500,300;"},
      {"a broken logo", "BM", "\x1bG:100,150,500,300;"},
      {"a malformed coordinate", Bitmap(2, 2, 24).File(), "\x1bG:1-2;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.logo.empty()) WriteFile("logo.bmp", c.logo);
    WriteFile("report.txt", "A\f" + c.sequence + "B\fC");
    TJobResult job = Run({"report.txt", "1", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Trace, reference.Trace);
    EXPECT_EQ(job.Errors, "");
    job = Run({"report.txt", "3", "3"});
    EXPECT_EQ(job.Trace, lastPage.Trace);
    EXPECT_EQ(job.Errors, "");
  }
}

TEST_F(Logo, JobStartLogoLandsOnPageOne) {
  TBitmap bitmap = Bitmap(2, 2, 24);
  WriteFile("logo.bmp", bitmap.File());
  WriteConfiguration("[sequences]\nC=BITM:logo.bmp,100,150,500,300\n");
  // The page is begun before any cell size is set: its first font is 0 x 0.
  std::string firstPage = TraceOpening() + "StartPage\nSetBkMode 1\n" +
                          FontLine(0, 0, 0, 0, "", 1) + "SelectObject F1 -> F0\n" +
                          DrawnLine(bitmap) + "SelectObject F0 -> F1\nDeleteObject F1\n" +
                          FontLine(43, 28, 0, 0, "", 2) + "SelectObject F2 -> F0\nSetBkMode 1\n";
  WriteFile("report.txt", "A");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, firstPage + "TextOutA 0 0 \"A\"\nEndPage\n" + TraceClosing(2));
  EXPECT_EQ(job.Errors, "");
  // An empty print file still gives the sheet of the logo.
  WriteFile("report.txt", "");
  job = Run({"report.txt", "1"});
  EXPECT_EQ(job.Trace, firstPage + "EndPage\n" + TraceClosing(2));
  // A form feed first ends the logo's sheet; the text goes on a sheet of its own.
  WriteFile("report.txt", "\fB");
  job = Run({"report.txt", "1"});
  EXPECT_EQ(job.Trace, firstPage + "EndPage\n" + TracePageStart(2, 3, "") +
                           "TextOutA 0 0 \"B\"\nEndPage\n" + TraceClosing(3));
  // Page 1 out of the range: no logo, no file opened, no sheet for page 1.
  WriteFile("report.txt", "A\fB");
  job = Run({"report.txt", "2"});
  WriteConfiguration("");
  TJobResult plain = Run({"report.txt", "2"});
  EXPECT_EQ(job.Trace, plain.Trace);
  EXPECT_EQ(job.Errors, "");
  WriteConfiguration("[sequences]\nC=BITM:nothere.bmp\n");
  job = Run({"report.txt", "2"});
  EXPECT_EQ(job.Trace, plain.Trace);
  EXPECT_EQ(job.Errors, "");
}

TEST_F(Logo, JobStartLogoThatFailsStillBeginsPageOne) {
  WriteFile("report.txt", "");
  struct Case {
    const char* what;
    std::string sequence;
    std::string logo;
    std::string errors;
  } cases[] = {
      {"missing", "C=BITM:nothere.bmp,100,150,500,300", "",
       std::string(MissingLogoWarning) + "logo file 'nothere.bmp' (looked for as " +
           PathOf("nothere.bmp") + "): No such file or directory\n"},
      {"broken", "C=BITM:logo.bmp,100,150,500,300", "BM\x36", ""},
      {"malformed coordinate", "C=BITM:logo.bmp,1-2", Bitmap(2, 2, 24).File(),
       std::string(FailureWarning) +
           "drawing the logo 'logo.bmp': '1-2' is not a valid integer value\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteConfiguration("[sequences]\n" + c.sequence + "\n");
    WriteFile("logo.bmp", c.logo);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Trace, TraceOpening() + "StartPage\nSetBkMode 1\n" +
                             FontLine(0, 0, 0, 0, "", 1) + "SelectObject F1 -> F0\n" +
                             "SelectObject F0 -> F1\nDeleteObject F1\n" +
                             FontLine(43, 28, 0, 0, "", 2) +
                             "SelectObject F2 -> F0\nSetBkMode 1\nEndPage\n" + TraceClosing(2));
    if (c.errors.empty()) {
      EXPECT_EQ(job.Errors.rfind(FailureWarning, 0), 0u) << job.Errors;
      EXPECT_EQ(TraceLines(job.Errors).size(), 2u) << job.Errors;
    } else {
      EXPECT_EQ(job.Errors, c.errors);
    }
  }
}

TEST_F(Logo, FileNamesKeepTheirColons) {
  TBitmap bitmap = Bitmap(2, 2, 24);
  WriteFile("logo:1.bmp", bitmap.File());
  WriteConfiguration("[sequences]\nK=BITM:logo:1.bmp,100,150,500,300\n");
  WriteFile("report.txt", "\x1bKA");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_NE(job.Trace.find(DrawnLine(bitmap)), std::string::npos) << job.Trace;
  EXPECT_EQ(job.Errors, "");
}

// A file far larger than any logo is refused before any memory is asked for.
TEST_F(Logo, LogoTooLargeForAnyBlockWarnsAndTheJobGoesOn) {
  WriteFile("logo.bmp", "");
  // 2 TiB of holes: nothing is written to the disk.
  if (truncate(PathOf("logo.bmp").c_str(), off_t{2} << 40) != 0)
    GTEST_SKIP() << "no sparse file of 2 TiB here";
  WriteFile("report.txt", "\x1bG:100,150,500,300;A");
  TJobResult job = Run({"report.txt", "1"});
  truncate(PathOf("logo.bmp").c_str(), 0);
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(CountTraceLines(job.Trace, "StretchDIBits"), 0u);
  EXPECT_EQ(SheetTexts(job.Trace), (std::vector<std::vector<std::string>>{{"0 0 \"A\""}}));
  ASSERT_EQ(job.Errors.rfind(FailureWarning, 0), 0u) << job.Errors;
  EXPECT_EQ(TraceLines(job.Errors).size(), 2u) << job.Errors;
}
