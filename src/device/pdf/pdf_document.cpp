// The PDF format of the canvas's documents: numbered objects, one content
// stream and one page object per sheet, fonts embedded at the end, one
// resource dictionary that every page shares, the page tree, catalog,
// information and cross-references.
#include <vector>

#include "device/pdf/pdf_format.h"

namespace tolvane {

namespace {

struct TPdfObjects {
  int Catalog = 0, PageTree = 0, Resources = 0, Info = 0;
  std::vector<int> Pages;
};

TPdfObjects& Objects(TPdfDocument& document) {
  return *static_cast<TPdfObjects*>(document.State);
}

std::string Reference(int number) {
  std::string text;
  AppendInteger(text, number);
  return text + " 0 R";
}

void BeginPdf(TPdfDocument& document, TPdfSink sink, void* closure) {
  TPdfWriter& writer = document.Writer;
  StartPdf(writer, sink, closure);
  auto* objects = new TPdfObjects;
  document.State = objects;
  objects->Catalog = ReserveObject(writer);
  objects->PageTree = ReserveObject(writer);
  objects->Resources = ReserveObject(writer);
  objects->Info = ReserveObject(writer);
}

// Fonts are written at the end, each size of a face as a subset of the
// glyphs it drew.
void AddPdfFont(TPdfDocument&, TPdfFont&, const TPdfTextFont&) {}

std::string ImageEntries(const TPdfImage& image) {
  std::string entries = "/Type/XObject/Subtype/Image/Width ";
  AppendInteger(entries, image.Width);
  entries += "/Height ";
  AppendInteger(entries, image.Height);
  return entries + "/ColorSpace/DeviceRGB/BitsPerComponent 8";
}

void AddPdfImage(TPdfDocument& document, TPdfImage& image, std::string_view rgb) {
  image.Number = ReserveObject(document.Writer);
  WriteStream(document.Writer, image.Number, ImageEntries(image), rgb);
}

void WritePdfSheet(TPdfDocument& document, const std::string& content) {
  TPdfWriter& writer = document.Writer;
  TPdfObjects& objects = Objects(document);
  int stream = ReserveObject(writer), page = ReserveObject(writer);
  WriteContentStream(writer, stream, content);
  std::string dictionary = "<</Type/Page/Parent " + Reference(objects.PageTree) + "/MediaBox[0 0 ";
  AppendNumber(dictionary, document.Frame.Width);
  dictionary += ' ';
  AppendNumber(dictionary, document.Frame.Height);
  dictionary += "]/Resources " + Reference(objects.Resources) + "/Contents " +
                Reference(stream) + ">>";
  WriteObject(writer, page, dictionary);
  objects.Pages.push_back(page);
}

std::string ResourceDictionary(const TPdfDocument& document) {
  std::string text = "<</Font<<";
  for (const auto& font : document.Fonts.Sized) {
    text += "/S";
    AppendInteger(text, font->Name);
    text += ' ' + Reference(font->Number);
  }
  text += ">>/XObject<<";
  for (const TPdfImage& image : document.Images.Images) {
    text += "/Im";
    AppendInteger(text, image.Name);
    text += ' ' + Reference(image.Number);
  }
  return text + ">>>>";
}

void FinishPdfDocument(TPdfDocument& document) {
  TPdfWriter& writer = document.Writer;
  TPdfObjects& objects = Objects(document);
  WritePdfFonts(writer, document.Fonts);
  WriteObject(writer, objects.Resources, ResourceDictionary(document));
  std::string tree = "<</Type/Pages/Count ";
  AppendInteger(tree, int64_t(objects.Pages.size()));
  tree += "/Kids[";
  for (int page : objects.Pages) tree += Reference(page) + ' ';
  // The page tree, the catalog and the document's name stay readable in the
  // file's bytes, for programs that look there for the page count or title.
  WriteLooseObject(writer, objects.PageTree, tree + "]>>");
  WriteLooseObject(writer, objects.Catalog,
              "<</Type/Catalog/Pages " + Reference(objects.PageTree) + ">>");
  std::string info = "<</Title";
  AppendLiteral(info, document.Name);
  info += "/Creator(Tolvane " TOLVANE_VERSION ")/Producer(Tolvane " TOLVANE_VERSION ")>>";
  WriteLooseObject(writer, objects.Info, info);
  FinishPdf(writer, objects.Catalog, objects.Info);
}

void ForgetPdf(TPdfDocument& document) { delete static_cast<TPdfObjects*>(document.State); }

}  // namespace

extern const TPdfFormat PdfDocumentFormat = {
    BeginPdf, AddPdfFont, AddPdfImage, WritePdfSheet, FinishPdfDocument, ForgetPdf,
};

}  // namespace tolvane
