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

void BeginObject(TPdfWriter& writer, int number) {
  if (size_t(number) >= writer.Offsets.size()) writer.Offsets.resize(size_t(number) + 1, 0);
  writer.Offsets[size_t(number)] = writer.Written + writer.Pending.size();
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

std::string_view Deflate(TPdfWriter& writer, std::string_view data) {
  if (!writer.Compressor) writer.Compressor = MakeCompressor();
  if (!writer.Compressor || !Compress(writer.Compressor, data, writer.Packed)) return {};
  return writer.Packed;
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
}

void ReleasePdf(TPdfWriter& writer) {
  if (writer.Compressor) FreeCompressor(writer.Compressor);
  writer = TPdfWriter{};
}

int ReserveObject(TPdfWriter& writer) {
  writer.Offsets.push_back(0);
  return static_cast<int>(writer.Offsets.size() - 1);
}

void WriteObject(TPdfWriter& writer, int number, std::string_view value) {
  BeginObject(writer, number);
  WriteBytes(writer, value);
  WriteBytes(writer, "\nendobj\n");
}

void WriteStream(TPdfWriter& writer, int number, std::string_view entries, std::string_view data) {
  std::string_view body = data;
  bool packed = false;
  if (data.size() >= SmallestCompressed) {
    std::string_view compressed = Deflate(writer, data);
    packed = !compressed.empty() && compressed.size() < data.size();
    if (packed) body = compressed;
  }
  BeginObject(writer, number);
  std::string head = "<<";
  head += entries;
  if (packed) head += "/Filter/FlateDecode";
  head += "/Length ";
  AppendInteger(head, int64_t(body.size()));
  head += ">>\nstream\n";
  WriteBytes(writer, head);
  WriteBytes(writer, body);
  WriteBytes(writer, "\nendstream\nendobj\n");
}

bool FlushPdf(TPdfWriter& writer) {
  if (!writer.Pending.empty() && !writer.Failed)
    writer.Failed = !writer.Sink(writer.Closure, writer.Pending.data(), writer.Pending.size());
  writer.Written += writer.Pending.size();
  writer.Pending.clear();
  return !writer.Failed;
}

bool FinishPdf(TPdfWriter& writer, int root, int info) {
  uint64_t start = writer.Written + writer.Pending.size();
  std::string table = "xref\n0 ";
  AppendInteger(table, int64_t(writer.Offsets.size()));
  table += "\n0000000000 65535 f \n";
  WriteBytes(writer, table);
  char entry[21];
  for (size_t number = 1; number < writer.Offsets.size(); ++number) {
    std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                  static_cast<unsigned long long>(writer.Offsets[number]));
    WriteBytes(writer, std::string_view(entry, 20));
  }
  std::string trailer = "trailer\n<</Size ";
  AppendInteger(trailer, int64_t(writer.Offsets.size()));
  trailer += "/Root ";
  AppendInteger(trailer, root);
  trailer += " 0 R/Info ";
  AppendInteger(trailer, info);
  trailer += " 0 R>>\nstartxref\n";
  AppendInteger(trailer, int64_t(start));
  trailer += "\n%%EOF\n";
  WriteBytes(writer, trailer);
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
