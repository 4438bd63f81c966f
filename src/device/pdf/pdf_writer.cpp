#include "device/pdf/pdf_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tolvane {

namespace {

// Streams shorter than this are left as they are: a compressed header costs
// more than it saves.
constexpr size_t SmallestCompressed = 64;
// Pending bytes go out in chunks of about this size.
constexpr size_t FlushSize = 64 * 1024;
// Objects packed into one object stream, at most.
constexpr size_t ObjectsPerStream = 200;
// Bytes of an offset in the cross-reference stream: files up to a terabyte.
constexpr int OffsetBytes = 5;

// Marks an object's place as one in an object stream.
constexpr uint64_t PackedPlace = uint64_t(1) << 63;

uint64_t& PlaceOf(TPdfWriter& writer, int number) {
  if (size_t(number) >= writer.Offsets.size()) writer.Offsets.resize(size_t(number) + 1, 0);
  return writer.Offsets[size_t(number)];
}

void BeginObject(TPdfWriter& writer, int number) {
  PlaceOf(writer, number) = writer.Written + writer.Pending.size();
  std::string head;
  AppendInteger(head, number);
  head += " 0 obj\n";
  WriteBytes(writer, head);
}

}  // namespace

void WriteBytes(TPdfWriter& writer, std::string_view bytes) {
  writer.Pending.append(bytes);
  if (writer.Pending.size() >= FlushSize) FlushPdf(writer);
}

std::string_view Deflate(TPdfWriter& writer, std::string_view data, TCompression level) {
  TCompressor*& compressor = writer.Compressors[static_cast<int>(level)];
  if (!compressor) compressor = MakeCompressor(level);
  if (!compressor || !Compress(compressor, data, writer.Packed)) return {};
  return writer.Packed;
}

std::string_view Deflate(TPdfWriter& writer, std::string_view data) {
  return Deflate(writer, data, writer.Compression);
}

void StartWriter(TPdfWriter& writer, TPdfSink sink, void* closure) {
  ReleasePdf(writer);
  writer.Sink = sink;
  writer.Closure = closure;
  writer.Offsets.assign(1, 0);
}

void StartPdf(TPdfWriter& writer, TPdfSink sink, void* closure) {
  StartWriter(writer, sink, closure);
  // The second line's bytes above 127 tell a transfer program that the file
  // is binary.
  WriteBytes(writer, "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
  writer.Packs = true;
  // A PDF is kept (an archive of invoices) more often than a PostScript
  // file, which goes to a printer and is gone: what is written once is
  // made smaller. The sheets' content is not (WriteContentStream).
  writer.Compression = TCompression::Smaller;
}

void ReleasePdf(TPdfWriter& writer) {
  for (TCompressor* compressor : writer.Compressors)
    if (compressor) FreeCompressor(compressor);
  writer = TPdfWriter{};
}

int ReserveObject(TPdfWriter& writer) {
  writer.Offsets.push_back(0);
  return static_cast<int>(writer.Offsets.size() - 1);
}

void WriteLooseObject(TPdfWriter& writer, int number, std::string_view value) {
  BeginObject(writer, number);
  WriteBytes(writer, value);
  WriteBytes(writer, "\nendobj\n");
}

namespace {

// The objects waiting become one object stream: their numbers and offsets,
// then the objects themselves.
void PackObjects(TPdfWriter& writer) {
  if (writer.PackedObjects.empty()) return;
  int stream = ReserveObject(writer);
  for (size_t i = 0; i < writer.PackedObjects.size(); ++i)
    writer.Offsets[size_t(writer.PackedObjects[i])] = PackedPlace | uint64_t(stream) << 16 | i;
  std::string entries = "/Type/ObjStm/N ";
  AppendInteger(entries, int64_t(writer.PackedObjects.size()));
  entries += "/First ";
  AppendInteger(entries, int64_t(writer.PackedNumbers.size()));
  writer.PackedNumbers += writer.Packing;
  writer.Packing.clear();
  writer.PackedObjects.clear();
  std::string data = std::move(writer.PackedNumbers);
  writer.PackedNumbers.clear();
  WriteStream(writer, stream, entries, data);
}

void PutBigEndian(std::string& row, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) row += char(value >> (8 * i) & 0xFF);
}

}  // namespace

void WriteObject(TPdfWriter& writer, int number, std::string_view value) {
  if (!writer.Packs) return WriteLooseObject(writer, number, value);
  PlaceOf(writer, number);  // its place is known once its stream is written
  AppendInteger(writer.PackedNumbers, number);
  writer.PackedNumbers += ' ';
  AppendInteger(writer.PackedNumbers, int64_t(writer.Packing.size()));
  writer.PackedNumbers += ' ';
  writer.Packing.append(value);
  writer.Packing += '\n';
  writer.PackedObjects.push_back(number);
  if (writer.PackedObjects.size() >= ObjectsPerStream) PackObjects(writer);
}

namespace {

// Ends a stream's dictionary, whose entries head holds, with its length,
// and writes the stream's bytes after it.
void WriteStreamBody(TPdfWriter& writer, std::string& head, std::string_view body) {
  head += "/Length ";
  AppendInteger(head, int64_t(body.size()));
  head += ">>\nstream\n";
  WriteBytes(writer, head);
  WriteBytes(writer, body);
}

void WriteStreamAt(TPdfWriter& writer, int number, std::string_view entries,
                   std::string_view data, TCompression level) {
  std::string_view body = data;
  bool packed = false;
  if (data.size() >= SmallestCompressed) {
    std::string_view compressed = Deflate(writer, data, level);
    packed = !compressed.empty() && compressed.size() < data.size();
    if (packed) body = compressed;
  }
  BeginObject(writer, number);
  std::string head = "<<";
  head += entries;
  if (packed) head += "/Filter/FlateDecode";
  WriteStreamBody(writer, head, body);
  WriteBytes(writer, "\nendstream\nendobj\n");
}

}  // namespace

void WriteStream(TPdfWriter& writer, int number, std::string_view entries, std::string_view data) {
  WriteStreamAt(writer, number, entries, data, writer.Compression);
}

void WriteContentStream(TPdfWriter& writer, int number, std::string_view data) {
  WriteStreamAt(writer, number, "", data, TCompression::Fastest);
}

bool FlushPdf(TPdfWriter& writer) {
  if (!writer.Pending.empty() && !writer.Failed)
    writer.Failed = !writer.Sink(writer.Closure, writer.Pending.data(), writer.Pending.size());
  writer.Written += writer.Pending.size();
  writer.Pending.clear();
  return !writer.Failed;
}

// Each object's row: type 1 at an offset of the file, type 2 in an object
// stream, type 0 for the free object 0.
std::string CrossReferenceRow(const TPdfWriter& writer, size_t number) {
  uint64_t place = writer.Offsets[number];
  std::string row;
  if (number == 0) {
    row += char(0), PutBigEndian(row, 0, OffsetBytes), PutBigEndian(row, 0xFFFF, 2);
  } else if (place & PackedPlace) {
    row += char(2), PutBigEndian(row, (place & ~PackedPlace) >> 16, OffsetBytes);
    PutBigEndian(row, place & 0xFFFF, 2);
  } else {
    row += char(1), PutBigEndian(row, place, OffsetBytes), PutBigEndian(row, 0, 2);
  }
  return row;
}

// The rows go through the PNG "up" predictor before they are compressed:
// each byte less the one above it, so that rows of offsets that grow a
// little at a time become runs of nearly nothing.
std::string PredictedRows(const TPdfWriter& writer) {
  constexpr size_t Width = 1 + OffsetBytes + 2;
  std::string rows, above(Width, char(0));
  rows.reserve(writer.Offsets.size() * (Width + 1));
  for (size_t number = 0; number < writer.Offsets.size(); ++number) {
    std::string row = CrossReferenceRow(writer, number);
    rows += char(2);
    for (size_t i = 0; i < Width; ++i) rows += char(uint8_t(row[i]) - uint8_t(above[i]));
    above = row;
  }
  return rows;
}

bool FinishPdf(TPdfWriter& writer, int root, int info) {
  PackObjects(writer);
  int self = ReserveObject(writer);
  uint64_t start = writer.Written + writer.Pending.size();
  BeginObject(writer, self);
  std::string rows = PredictedRows(writer);
  std::string_view body = Deflate(writer, rows);
  bool packed = !body.empty();
  if (!packed) {
    // Without a compressor the rows go as they are.
    rows.clear();
    for (size_t number = 0; number < writer.Offsets.size(); ++number)
      rows += CrossReferenceRow(writer, number);
    body = rows;
  }
  std::string head = "<</Type/XRef/Size ";
  AppendInteger(head, int64_t(writer.Offsets.size()));
  head += "/W[1 ";
  AppendInteger(head, OffsetBytes);
  head += " 2]/Root ";
  AppendInteger(head, root);
  head += " 0 R/Info ";
  AppendInteger(head, info);
  head += " 0 R";
  if (packed) head += "/Filter/FlateDecode/DecodeParms<</Predictor 12/Columns 8>>";
  WriteStreamBody(writer, head, body);
  std::string end = "\nendstream\nendobj\nstartxref\n";
  AppendInteger(end, int64_t(start));
  end += "\n%%EOF\n";
  WriteBytes(writer, end);
  return FlushPdf(writer);
}

void AppendInteger(std::string& text, int64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text.append(digits, end);
}

void AppendNumber(std::string& text, double value) {
  double scaled = std::round(value * 10000.0);
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9e18) scaled = 0;
  auto units = static_cast<int64_t>(scaled);
  if (units % 10000 == 0) return AppendInteger(text, units / 10000);
  if (units < 0) text += '-';
  uint64_t magnitude = units < 0 ? uint64_t(-units) : uint64_t(units);
  AppendInteger(text, int64_t(magnitude / 10000));
  char fraction[5];
  uint64_t rest = magnitude % 10000;
  int length = 4;
  for (int i = 3; i >= 0; --i, rest /= 10) fraction[i] = char('0' + rest % 10);
  while (fraction[length - 1] == '0') --length;
  text += '.';
  text.append(fraction, size_t(length));
}

void AppendLiteral(std::string& text, std::string_view bytes) {
  text += '(';
  for (unsigned char byte : bytes) {
    if (byte == '(' || byte == ')' || byte == '\\') {
      text += '\\';
      text += char(byte);
    } else if (byte < 0x20 || byte >= 0x7F) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      text += octal;
    } else {
      text += char(byte);
    }
  }
  text += ')';
}

namespace {
const char HexDigits[] = "0123456789ABCDEF";
}

void AppendHex8(std::string& text, uint32_t value) {
  char hex[2] = {HexDigits[value >> 4 & 15], HexDigits[value & 15]};
  text.append(hex, 2);
}

void AppendHex16(std::string& text, uint32_t value) {
  const char* digits = HexDigits;
  char hex[4] = {digits[value >> 12 & 15], digits[value >> 8 & 15], digits[value >> 4 & 15],
                 digits[value & 15]};
  text.append(hex, 4);
}

}  // namespace tolvane
