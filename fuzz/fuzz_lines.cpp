// The line reader and the print stream above it, with lines cut into
// pieces: the input's first byte chooses the longest piece (1 to 64
// bytes), the rest is a print file. The pieces of every line must join to
// the line that a plain reading of the bytes gives, and the job printed
// from small pieces must leave the same trace, byte for byte, and the same
// exit code as the job printed from whole buffers: cutting a line, an
// escape sequence or its argument anywhere must change nothing.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_scratch.h"
#include "job/job.h"
#include "stream/line_reader.h"
#include "stream/print_stream.h"

namespace {

const char SystemProfile[] =
    "[windows]\ndevice=Trace,TRACE,job.trace\n[Devices]\nTrace=TRACE,job.trace\n";

// Every command has a letter, and those without arguments take theirs from
// the print file, so that sequences and their arguments are cut too.
const char JobProfile[] =
    "[preferences]\nprinter=Trace\n"
    "[sequences]\n"
    "C=BOLD:0\nB=BOLD:1\nN=BOLD:7\nF=FSIZ:36,24\nH=FSIZ:48\nX=FSIZ:\nP=LINH:50\n"
    "R=VERT:1\nU=VERT:0\nM=FELM:\nL=BALM:\nG=BITM:logo.bmp\nZ=NOPE:1\n";

// The lines of a print file as the bytes say: LF ends a line, a CR is
// dropped wherever it stands, a Ctrl-Z ends the file (after the bytes of
// its line before it), and CRs alone at the very end are a last, empty line.
std::vector<std::string> PlainLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool inLine = false, crAtStart = false;
  for (char byte : bytes) {
    if (byte == '\r') {
      if (!inLine) crAtStart = true;
      continue;
    }
    if (!inLine) {
      if (byte == 26) return lines;
      inLine = true;
      line.clear();
    }
    if (byte == '\n') {
      lines.push_back(line);
      inLine = crAtStart = false;
    } else if (byte == 26) {
      lines.push_back(line);
      return lines;
    } else {
      line += byte;
    }
  }
  if (inLine)
    lines.push_back(line);
  else if (crAtStart)
    lines.emplace_back();
  return lines;
}

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CheckPieces(std::string_view bytes, size_t limit) {
  std::vector<std::string> expected = PlainLines(bytes);
  std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (!file) return;  // fmemopen refuses an empty buffer on some libcs
  auto* reader = new tolvane::TLineReader;
  tolvane::OpenLineReader(*reader, file);
  reader->PieceLimit = limit;
  size_t count = 0;
  while (tolvane::StartLine(*reader)) {
    std::string line;
    const char* piece;
    size_t length;
    while (tolvane::ReadLinePiece(*reader, piece, length)) {
      if (length == 0 || length > limit) Fail("a piece is empty or longer than its limit");
      line.append(piece, length);
    }
    if (count >= expected.size() || line != expected[count]) Fail("a line read in pieces differs");
    count++;
  }
  if (count != expected.size()) Fail("the reader gave a different number of lines");
  delete reader;
  std::fclose(file);
}

// The job's exit code and its trace.
std::pair<int, std::string> PrintWithPieces(size_t limit) {
  tolvane::StreamPieceLimit = limit;
  int code = tolvane::TolvaneMain({"report.txt", "1", "9"});
  std::pair<int, std::string> result{code, std::string(LastTrace())};
  tolvane::StreamPieceLimit = 0;
  ResetJob();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv, "system.ini", SystemProfile);
  WriteScratchFile("tolvane.ini", JobProfile);
  KeepTracesInMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t limit = 1 + data[0] % 64;
  std::string_view report(reinterpret_cast<const char*>(data + 1), size - 1);
  CheckPieces(report, limit);
  WriteScratchFile("report.txt", report);
  ResetJob();
  std::pair<int, std::string> whole = PrintWithPieces(0);
  std::pair<int, std::string> cut = PrintWithPieces(limit);
  if (whole.first != cut.first) Fail("cutting lines into pieces changed the exit code");
  if (whole.second != cut.second) Fail("cutting lines into pieces changed the trace");
  return 0;
}
