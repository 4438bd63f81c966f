// What the end-to-end tests of the file drivers (PDF, PS, SVG, PNG) share:
// a system profile that offers each of them, and ways to look at what they
// wrote: the files of the job's directory, poppler's reading of a PDF, the
// pixels of a PNG.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "host.h"

namespace file_drivers {

// Every driver with the same geometry, so that one job can be printed on
// each and compared; Trace records what the others were asked to draw.
inline std::string Profile(const std::string& geometry, const std::string& pdfPort = "out.pdf") {
  std::string profile = "[windows]\ndevice=Pdf,PDF," + pdfPort +
                        "\n[Devices]\nPdf=PDF," + pdfPort +
                        "\nPs=PS,out.ps\nSvg=SVG,sheet-%d.svg\nPng=PNG,sheet.png\n"
                        "Trace=TRACE,job.trace\n";
  for (const char* printer : {"Pdf", "Ps", "Svg", "Png", "Trace"})
    profile += std::string("[") + printer + "]\n" + geometry;
  return profile;
}

inline std::string Example(const std::string& name) {
  std::ifstream file(std::string(TOLVANE_SOURCE_DIR) + "/examples/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The sample report of examples/ with its own configuration, on printer.
inline std::string SampleConfiguration(const std::string& printer) {
  std::string configuration = Example("tolvane.ini");
  size_t start = configuration.find("\nprinter=");
  size_t end = configuration.find('\n', start + 1);
  return configuration.replace(start, end - start, "\nprinter=" + printer);
}

// What a command printed on standard output; empty when it could not run.
inline std::string Capture(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    pclose(pipe);
  }
  return output;
}

inline bool HaveTool(const char* tool) {
  return !Capture(std::string("command -v ") + tool + " 2>/dev/null").empty();
}

inline std::set<std::string> DirectoryNames(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.insert(entry.path().filename());
  return names;
}

// A word of pdftotext -bbox: its text and box in points, and its page.
struct TWord {
  int Page;
  std::string Text;
  double XMin, YMin, XMax, YMax;
};

inline std::vector<TWord> PdfWords(const std::string& pdf) {
  std::vector<TWord> words;
  std::string html = Capture("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
  int page = 0;
  size_t at = 0;
  while ((at = html.find('<', at)) != std::string::npos) {
    if (html.compare(at, 6, "<page ") == 0) ++page;
    if (html.compare(at, 6, "<word ") == 0) {
      TWord word{page, "", 0, 0, 0, 0};
      std::sscanf(html.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">",
                  &word.XMin, &word.YMin, &word.XMax, &word.YMax);
      size_t start = html.find('>', at) + 1;
      word.Text = html.substr(start, html.find('<', start) - start);
      words.push_back(word);
    }
    ++at;
  }
  return words;
}

// What qpdf finds wrong with a PDF file; empty when it passes its check.
inline std::string QpdfProblems(const std::string& pdf) {
  std::string report = Capture("qpdf --check '" + pdf + "' 2>&1; echo \"exit $?\"");
  return report.find("\nexit 0\n") != std::string::npos ? "" : report;
}

// While it lives, fontconfig in the jobs that follow knows no font but
// Liberation Mono's regular face, copied into directory: a family without a
// bold face.
struct TOnlyRegularFace {
  explicit TOnlyRegularFace(const std::string& directory);
  ~TOnlyRegularFace();
  std::string Saved;  // FONTCONFIG_FILE before
  bool Made = false;  // the face was found and copied
};

// A picture's pixels, red, green and blue.
struct TPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
};

// A PNG file; empty when it cannot be read.
TPicture LoadPicture(const std::string& path);

}  // namespace file_drivers
