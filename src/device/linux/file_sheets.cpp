// The sheet kind of one file per sheet: each sheet's file is started ahead,
// written when the sheet ends, and all of them committed at EndDoc.
#include "device/linux/file_sheets.h"
#include "device/linux/lazy_graphics.h"

#include <utility>

#include "device/linux/output_group.h"

namespace tolvane {

namespace {

TSheetFiles& Files(TSheets& sheets) { return *static_cast<TSheetFiles*>(sheets.Data); }

cairo_status_t WriteToSheet(void* closure, const unsigned char* data, unsigned int length) {
  auto* files = static_cast<TSheetFiles*>(closure);
  if (files->Discarding) return CAIRO_STATUS_SUCCESS;
  return WriteOutputFile(files->Sheet, data, length) ? CAIRO_STATUS_SUCCESS
                                                     : CAIRO_STATUS_WRITE_ERROR;
}

bool NameSheet(const TSheetFiles& files, int number, std::string& name, std::string& failure) {
  if (SheetFileName(files.Pattern, number, name)) return true;
  failure = "the output pattern '" + files.Pattern + "' " +
            (files.Pattern.empty() || files.Pattern == "-"
                 ? "names no files (one file per sheet needs a path such as sheet.png)"
                 : "names no files: it may hold one integer conversion (%d, %03d, %i, %u) and "
                   "%% for a percent sign");
  return false;
}

void DropSurface(TSheetFiles& files) {
  if (!files.Surface) return;
  files.Discarding = true;
  files.Format->ReleaseSurface(files, files.Surface);
  files.Discarding = false;
  files.Surface = nullptr;
}

void DiscardDone(TSheetFiles& files) {
  for (TOutputFile& file : files.Done) DiscardOutputFile(file);
  files.Done.clear();
}

// The file started ahead becomes the sheet's; the next one is started when
// the next sheet begins.
void TakeNextFile(TSheetFiles& files) {
  DiscardOutputFile(files.Sheet);
  files.Sheet = std::move(files.Next);
  files.Next = TOutputFile{};
}

bool BeginFiles(TSheets& sheets, const std::string&, std::string&) {
  TSheetFiles& files = Files(sheets);
  DiscardDone(files);
  files.Number = 0;
  return true;
}

cairo_surface_t* BeginFileSheet(TSheets& sheets, std::string& failure) {
  TSheetFiles& files = Files(sheets);
  std::string name;
  if (!NameSheet(files, files.Number + 1, name, failure)) return nullptr;
  if (!OutputFileIsOpen(files.Next) || files.Next.TargetPath != name) {
    if (!CreateOutputFile(files.Next, name, failure)) return nullptr;
  }
  ++files.Number;
  TakeNextFile(files);
  files.Surface = files.Format->StartSurface(files, WriteToSheet, &files);
  if (!files.Surface) failure = "the sheet " + name + " could not be made";
  return files.Surface;
}

// Sheets stay nameless while the process may hold them open; past that
// they wait under hidden names.
bool KeepSheet(TSheetFiles& files, std::string& failure) {
  if (!SettleOutputFile(files.Sheet, failure)) return false;
  size_t held = 0;
  for (const TOutputFile& file : files.Done) held += OutputFileHoldsDescriptor(file);
  if (held + 1 >= OpenOutputFileLimit() && !ParkOutputFile(files.Sheet, failure)) return false;
  files.Done.push_back(std::move(files.Sheet));
  files.Sheet = TOutputFile{};
  return true;
}

bool EndFileSheet(TSheets& sheets, std::string& failure) {
  TSheetFiles& files = Files(sheets);
  if (!files.Surface) return false;
  bool written = files.Format->FinishSurface(files, files.Surface, WriteToSheet, &files);
  files.Format->ReleaseSurface(files, files.Surface);
  files.Surface = nullptr;
  if (!written || !files.Sheet.Error.empty()) {
    failure = "the sheet " + files.Sheet.TargetPath + " could not be written";
    DiscardOutputFile(files.Sheet);
    return false;
  }
  return KeepSheet(files, failure);
}

bool EndFiles(TSheets& sheets, std::string& failure) {
  TSheetFiles& files = Files(sheets);
  bool done = CommitOutputFiles(files.Done, failure);
  DiscardDone(files);
  files.Number = 0;
  return done;
}

void AbortFiles(TSheets& sheets) {
  TSheetFiles& files = Files(sheets);
  DropSurface(files);
  DiscardOutputFile(files.Sheet);
  DiscardDone(files);
  files.Number = 0;
}

void ReleaseFiles(TSheets& sheets) {
  TSheetFiles* files = &Files(sheets);
  DropSurface(*files);
  DiscardOutputFile(files->Next);
  DiscardOutputFile(files->Sheet);
  DiscardDone(*files);
  files->Format->Release(*files);
  delete files;
  sheets.Data = nullptr;
}

bool StartFirstFile(TSheetFiles& files, std::string& failure) {
  std::string name;
  if (!NameSheet(files, 1, name, failure)) return false;
  // Holding sheets open needs descriptors; ask for the room once, early.
  OpenOutputFileLimit();
  return CreateOutputFile(files.Next, name, failure);
}

const TSheetKind SheetFilesKind = {
    BeginFiles, BeginFileSheet, EndFileSheet, EndFiles, AbortFiles, ReleaseFiles,
};

}  // namespace

bool OpenSheetFiles(TDeviceContext* dc, const TSheetFormat* format) {
  if (!LoadGraphicsLibraries()) return false;
  auto* files = new TSheetFiles{};
  files->Format = format;
  files->Geometry = dc->Geometry;
  files->Pattern = dc->Port;
  TSheets sheets{&SheetFilesKind, files, format->InPoints};
  std::string failure;
  if (!StartFirstFile(*files, failure)) {
    DiagnoseRefusedOutput(dc->Device, dc->Driver, dc->Port, failure);
    ReleaseFiles(sheets);
    return false;
  }
  AttachCairoCanvas(dc, sheets);
  return true;
}

}  // namespace tolvane
