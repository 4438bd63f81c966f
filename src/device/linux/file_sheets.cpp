#include "device/linux/file_sheets.h"

#include <memory>
#include <utility>

namespace tolvane {

namespace {

// A document of pages in one file.
struct TFileDocumentSheets : TPagedSheets {
  TFileDocumentSheets(const TPrinterGeometry& geometry, const std::string& port,
                      TDocumentSurfaceMaker maker)
      : TPagedSheets(geometry), Port(port), Maker(maker) {}

  bool Open(std::string& failure) { return File.Create(Port, failure); }

  bool BeginDocument(const std::string& name, std::string& failure) override {
    // The first document has the file that Open started; a later one on the
    // same context starts its own.
    if (!File.IsOpen() && !File.Create(Port, failure)) return false;
    return TPagedSheets::BeginDocument(name, failure);
  }

 protected:
  cairo_surface_t* CreateSurface(cairo_write_func_t write, void* closure) override {
    return Maker(Geometry, DocumentName, write, closure);
  }
  bool WriteBytes(const unsigned char* data, unsigned int length) override {
    return File.Write(data, length);
  }
  bool Commit(std::string& failure) override { return File.Commit(failure); }
  void Discard() override { File.Discard(); }
  std::string WriteFailure() const override { return File.Failure(); }

 private:
  std::string Port;
  TDocumentSurfaceMaker Maker;
  TOutputFile File;
};

}  // namespace

bool OpenDocumentFile(TDeviceContext* dc, TDocumentSurfaceMaker maker) {
  auto sheets = std::make_unique<TFileDocumentSheets>(dc->Geometry, dc->Port, maker);
  std::string failure;
  if (!sheets->Open(failure)) return false;
  AttachCairoCanvas(dc, std::move(sheets));
  return true;
}

TSheetFileSheets::TSheetFileSheets(const TPrinterGeometry& geometry, const std::string& pattern)
    : Geometry(geometry), Pattern(pattern) {}

// The canvas ends every document (AbortDocument) before it lets go of its
// sheets, so no surface is left here; the files discard themselves.
TSheetFileSheets::~TSheetFileSheets() = default;

cairo_status_t TSheetFileSheets::Write(void* closure, const unsigned char* data,
                                       unsigned int length) {
  auto* sheets = static_cast<TSheetFileSheets*>(closure);
  if (sheets->Discarding) return CAIRO_STATUS_SUCCESS;
  return sheets->Sheet.Write(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

bool TSheetFileSheets::Open(std::string& failure) {
  std::string name;
  if (!SheetFileName(Pattern, 1, name)) {
    failure = "the output pattern " + Pattern + " names no files";
    return false;
  }
  // Holding sheets open needs descriptors; ask for the room once, early.
  OpenOutputFileLimit();
  return Next.Create(name, failure);
}

bool TSheetFileSheets::BeginDocument(const std::string&, std::string&) {
  Done.clear();
  Number = 0;
  return true;
}

cairo_surface_t* TSheetFileSheets::BeginSheet(std::string& failure) {
  std::string name;
  if (!SheetFileName(Pattern, Number + 1, name)) {
    failure = "the output pattern " + Pattern + " names no files";
    return nullptr;
  }
  if (!Next.IsOpen() || Next.Target() != name) {
    if (!Next.Create(name, failure)) return nullptr;
  }
  ++Number;
  Sheet = std::move(Next);
  Surface = StartSurface(Write, this);
  if (!Surface) failure = "the sheet " + name + " could not be made";
  return Surface;
}

void TSheetFileSheets::DropSurface() {
  if (!Surface) return;
  Discarding = true;
  ReleaseSurface(Surface);
  Discarding = false;
  Surface = nullptr;
}

bool TSheetFileSheets::EndSheet(std::string& failure) {
  if (!Surface) return false;
  bool written = FinishSurface(Surface, Write, this);
  ReleaseSurface(Surface);
  Surface = nullptr;
  if (!written || Sheet.Failed()) {
    failure = "the sheet " + Sheet.Target() + " could not be written";
    Sheet.Discard();
    return false;
  }
  // Sheets stay nameless while the process may hold them open; past that
  // they wait under hidden names.
  size_t held = 0;
  for (const TOutputFile& file : Done) held += file.HoldsDescriptor();
  if (held + 1 >= OpenOutputFileLimit() && !Sheet.Park(failure)) return false;
  Done.push_back(std::move(Sheet));
  return true;
}

bool TSheetFileSheets::EndDocument(std::string& failure) {
  bool done = true;
  for (TOutputFile& file : Done)
    if (done) done = file.Commit(failure);
  Done.clear();
  Number = 0;
  return done;
}

void TSheetFileSheets::AbortDocument() {
  DropSurface();
  Sheet.Discard();
  Done.clear();
  Number = 0;
}

}  // namespace tolvane
