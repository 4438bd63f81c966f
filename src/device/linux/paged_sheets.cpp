// The sheet kind of documents on one surface: the surface's pages are the
// sheets, and its bytes pass to the document's output.
#include "device/linux/paged_sheets.h"

namespace tolvane {

namespace {

TPagedSheets& Paged(TSheets& sheets) { return *static_cast<TPagedSheets*>(sheets.Data); }

cairo_status_t WriteToOutput(void* closure, const unsigned char* data, unsigned int length) {
  auto* paged = static_cast<TPagedSheets*>(closure);
  if (paged->Discarding) return CAIRO_STATUS_SUCCESS;
  return paged->Kind->WriteBytes(*paged, data, length) ? CAIRO_STATUS_SUCCESS
                                                       : CAIRO_STATUS_WRITE_ERROR;
}

void DestroySurface(TPagedSheets& paged) {
  if (paged.Surface) cairo_surface_destroy(paged.Surface);
  paged.Surface = nullptr;
}

std::string StatusFailure(const TPagedSheets& paged, cairo_status_t status) {
  std::string failure = paged.Kind->WriteFailure(paged);
  return failure.empty() ? std::string("the document could not be made: ") +
                               cairo_status_to_string(status)
                         : failure;
}

void AbortPaged(TSheets& sheets) {
  TPagedSheets& paged = Paged(sheets);
  paged.Discarding = true;
  DestroySurface(paged);
  paged.Discarding = false;
  paged.Sheets = 0;
  paged.Kind->Discard(paged);
}

bool BeginPaged(TSheets& sheets, const std::string& name, std::string& failure) {
  TPagedSheets& paged = Paged(sheets);
  if (!paged.Kind->Prepare(paged, failure)) return false;
  paged.DocumentName = name;
  paged.Sheets = 0;
  return true;
}

cairo_surface_t* BeginPagedSheet(TSheets& sheets, std::string& failure) {
  TPagedSheets& paged = Paged(sheets);
  if (!paged.Surface) {
    paged.Surface = paged.Kind->CreateSurface(paged, WriteToOutput, &paged);
    if (!paged.Surface) {
      failure = "the document could not be made";
      return nullptr;
    }
  }
  cairo_status_t status = cairo_surface_status(paged.Surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    failure = StatusFailure(paged, status);
    return nullptr;
  }
  ++paged.Sheets;
  return paged.Surface;
}

bool EndPagedSheet(TSheets& sheets, std::string& failure) {
  TPagedSheets& paged = Paged(sheets);
  if (!paged.Surface) return false;
  cairo_surface_show_page(paged.Surface);
  cairo_status_t status = cairo_surface_status(paged.Surface);
  if (status == CAIRO_STATUS_SUCCESS) return true;
  failure = StatusFailure(paged, status);
  return false;
}

bool EndPaged(TSheets& sheets, std::string& failure) {
  TPagedSheets& paged = Paged(sheets);
  if (paged.Sheets == 0) {
    AbortPaged(sheets);
    return true;
  }
  cairo_surface_finish(paged.Surface);
  cairo_status_t status = cairo_surface_status(paged.Surface);
  DestroySurface(paged);
  paged.Sheets = 0;
  if (status != CAIRO_STATUS_SUCCESS) {
    failure = StatusFailure(paged, status);
    paged.Kind->Discard(paged);
    return false;
  }
  return paged.Kind->Commit(paged, failure);
}

void ReleasePaged(TSheets& sheets) {
  TPagedSheets* paged = &Paged(sheets);
  paged->Discarding = true;
  DestroySurface(*paged);
  paged->Kind->Release(*paged);
  delete paged;
  sheets.Data = nullptr;
}

const TSheetKind PagedSheetKind = {
    BeginPaged, BeginPagedSheet, EndPagedSheet, EndPaged, AbortPaged, ReleasePaged,
};

}  // namespace

TSheets NewPagedSheets(const TPrinterGeometry& geometry, const TPagedOutput* kind, void* output) {
  auto* paged = new TPagedSheets{};
  paged->Kind = kind;
  paged->Output = output;
  paged->Geometry = geometry;
  return TSheets{&PagedSheetKind, paged, true};
}

bool NoPreparation(TPagedSheets&, std::string&) { return true; }

std::string NoWriteFailure(const TPagedSheets&) { return ""; }

}  // namespace tolvane
