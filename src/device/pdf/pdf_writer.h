// The objects of a PDF file, written one after the other as a document
// grows: numbered objects, compressed streams (compression.h), and the
// cross-reference stream that ends the file. Objects that are not streams
// are packed a few hundred at a time into compressed object streams, where
// a page's dictionary costs a few bytes rather than a hundred. The bytes go
// to a sink as they are made, so a long document holds no more than its
// current page and the objects waiting to be packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/pdf/compression.h"

namespace tolvane {

// Where the bytes of a file go; false when they could not be written.
typedef bool (*TPdfSink)(void* closure, const void* data, size_t size);

struct TPdfWriter {
  TPdfSink Sink = nullptr;
  void* Closure = nullptr;
  uint64_t Written = 0;            // bytes handed to the sink so far
  std::string Pending;             // bytes not yet handed to it
  // Where each object is, by number: its offset in the file, or (with
  // PackedPlace set) its object stream's number times 65,536 plus its
  // index there; 0 until it is written.
  std::vector<uint64_t> Offsets;
  bool Packs = false;              // objects go into object streams
  std::string Packing;             // the objects waiting to be packed
  std::string PackedNumbers;       // their numbers and offsets in Packing
  std::vector<int> PackedObjects;  // their numbers
  bool Failed = false;             // the sink refused bytes
  // Compressors by level, made when first wanted. The document's own
  // level goes to what is written once (fonts, images, objects); a sheet's
  // content, written for every page, is always compressed at the fastest.
  TCompressor* Compressors[2] = {};
  TCompression Compression = TCompression::Fastest;
  std::string Packed;              // a compressed stream on its way out
};

// Starts a file on the sink with its header.
void StartPdf(TPdfWriter& writer, TPdfSink sink, void* closure);
// Starts a file of another format on the sink, with nothing written yet.
void StartWriter(TPdfWriter& writer, TPdfSink sink, void* closure);
// Bytes as they are, handed to the sink in chunks.
void WriteBytes(TPdfWriter& writer, std::string_view bytes);
// The data compressed in the zlib format, as FlateDecode reads it, at the
// document's level or at the one given; valid until the next compression.
// Empty when no compressor could be made.
std::string_view Deflate(TPdfWriter& writer, std::string_view data);
std::string_view Deflate(TPdfWriter& writer, std::string_view data, TCompression level);
// Lets go of what the writer holds; the file stays as far as it was written.
void ReleasePdf(TPdfWriter& writer);

// A number for an object written later.
int ReserveObject(TPdfWriter& writer);
// An object of a dictionary or any other value: packed into an object
// stream in a PDF, "N 0 obj" in the file otherwise.
void WriteObject(TPdfWriter& writer, int number, std::string_view value);
// "N 0 obj" in the file itself, where a program that reads the bytes finds
// it (the page tree's page count, the catalog).
void WriteLooseObject(TPdfWriter& writer, int number, std::string_view value);
// A stream object: extra entries of its dictionary (besides /Length and
// /Filter), and its data, compressed unless it is tiny.
void WriteStream(TPdfWriter& writer, int number, std::string_view entries, std::string_view data);
// A sheet's content as a stream object, compressed at the fastest level:
// a page of glyph codes comes out a few percent larger than at the middle
// level, in half the time.
void WriteContentStream(TPdfWriter& writer, int number, std::string_view data);
// Hands what is pending to the sink; false once the sink has refused bytes.
bool FlushPdf(TPdfWriter& writer);
// The objects still waiting, the cross-reference stream and the file's
// end; every reserved object must have been written. False when the sink
// refused bytes.
bool FinishPdf(TPdfWriter& writer, int root, int info);

// Numbers as content streams want them: integers without a point, others
// with at most four decimals and no trailing zeros.
void AppendNumber(std::string& text, double value);
void AppendInteger(std::string& text, int64_t value);
// A literal string, "(...)", with what would end or bend it escaped.
void AppendLiteral(std::string& text, std::string_view bytes);
// Two and four hexadecimal digits.
void AppendHex8(std::string& text, uint32_t value);
void AppendHex16(std::string& text, uint32_t value);

}  // namespace tolvane
