// sfnt.cc - the table directory of a TrueType or OpenType font, and the checks of its glyph tables.
#include "fontkit/sfnt.h"

#include <cstring>

namespace fontkit {

std::uint32_t bigEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

int readAt(std::FILE* font, long offset, unsigned char* bytes, std::size_t count) {
  if (std::fseek(font, offset, SEEK_SET) != 0) return 0;
  return std::fread(bytes, 1, count, font) == count;
}

namespace {

// Checks the glyph locations: `count` offsets of `size` bytes (2: halved, 4: whole) from
// `loca`, each at most `glyfLength` and none below the one before.
const char* locationsProblem(std::FILE* font, const TableEntry& loca, std::uint32_t count, int size,
                             std::uint32_t glyfLength) {
  unsigned char chunk[4096];
  const std::uint32_t bytes = size == 2 ? 2 : 4;
  const std::uint32_t perChunk = sizeof chunk / bytes;
  std::uint32_t previous = 0;
  for (std::uint32_t first = 0; first < count; first += perChunk) {
    const std::uint32_t n = count - first < perChunk ? count - first : perChunk;
    // In long arithmetic: a loca table lies inside the file, whose size is a long.
    if (!readAt(font, static_cast<long>(loca.offset) + static_cast<long>(first) * bytes, chunk,
                std::size_t{n} * bytes)) {
      return "cannot be read";
    }
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint32_t raw = bigEndian(chunk + std::size_t{i} * bytes, size);
      const std::uint32_t offset = size == 2 ? raw * 2 : raw;
      if (offset > glyfLength) {
        return "has glyph locations past the end of its glyf table (cut short or damaged)";
      }
      if (offset < previous) return "has its glyph locations out of order (damaged)";
      previous = offset;
    }
  }
  return nullptr;
}

}  // namespace

DirectoryResult readDirectory(std::FILE* font, FontDirectory& directory) {
  directory.fileSize = 0;
  directory.tableCount = 0;
  if (std::fseek(font, 0, SEEK_END) != 0) return DirectoryResult::ReadFailed;
  directory.fileSize = std::ftell(font);
  if (directory.fileSize < 0) return DirectoryResult::ReadFailed;
  unsigned char header[12];
  if (!readAt(font, 0, header, sizeof header)) return DirectoryResult::NotAFont;
  long start = 0;
  if (std::memcmp(header, "ttcf", 4) == 0) {
    // A collection: the first font's table directory.
    if (!readAt(font, 12, header, 4)) return DirectoryResult::NotAFont;
    start = static_cast<long>(bigEndian(header, 4));
    if (start > directory.fileSize - 12 || !readAt(font, start, header, sizeof header)) {
      return DirectoryResult::NotAFont;
    }
  }
  const std::uint32_t version = bigEndian(header, 4);
  if (version != 0x00010000 && std::memcmp(header, "OTTO", 4) != 0 &&
      std::memcmp(header, "true", 4) != 0) {
    return DirectoryResult::NotAFont;
  }
  const std::uint32_t numTables = bigEndian(header + 4, 2);
  if (numTables > kMaxTables) return DirectoryResult::TooManyTables;
  for (std::uint32_t i = 0; i < numTables; ++i) {
    unsigned char record[16];
    if (!readAt(font, start + 12 + 16 * static_cast<long>(i), record, sizeof record)) {
      directory.tableCount = 0;
      return DirectoryResult::NotAFont;
    }
    TableEntry& entry = directory.tables[i];
    std::memcpy(entry.tag, record, 4);
    entry.tag[4] = '\0';
    entry.offset = bigEndian(record + 8, 4);
    entry.length = bigEndian(record + 12, 4);
    directory.tableCount = static_cast<int>(i) + 1;
  }
  return DirectoryResult::Read;
}

const TableEntry* findTable(const FontDirectory& directory, const char* tag) {
  for (int i = 0; i < directory.tableCount; ++i) {
    if (std::memcmp(directory.tables[i].tag, tag, 4) == 0) return &directory.tables[i];
  }
  return nullptr;
}

const TableEntry* tableOutside(const FontDirectory& directory) {
  for (int i = 0; i < directory.tableCount; ++i) {
    const TableEntry& entry = directory.tables[i];
    // In long arithmetic: offset and length are below 2^32 each, the file size below 2^63.
    if (static_cast<long long>(entry.offset) + entry.length > directory.fileSize) return &entry;
  }
  return nullptr;
}

const char* glyphTablesProblem(std::FILE* font, const FontDirectory& directory) {
  const TableEntry* head = findTable(directory, "head");
  const TableEntry* maxp = findTable(directory, "maxp");
  const TableEntry* loca = findTable(directory, "loca");
  const TableEntry* glyf = findTable(directory, "glyf");
  if (glyf == nullptr) return "has no glyf table (TrueType outlines)";
  if (loca == nullptr) return "has no loca table, which TrueType outlines need";
  if (head == nullptr) return "has no head table, which TrueType outlines need";
  if (maxp == nullptr) return "has no maxp table, which TrueType outlines need";
  unsigned char headBytes[54];
  unsigned char maxpBytes[6];
  if (head->length < sizeof headBytes || maxp->length < sizeof maxpBytes) {
    return "has a head or maxp table too short to be one (damaged)";
  }
  if (!readAt(font, head->offset, headBytes, sizeof headBytes) ||
      !readAt(font, maxp->offset, maxpBytes, sizeof maxpBytes)) {
    return "cannot be read";
  }
  const std::uint32_t format = bigEndian(headBytes + 50, 2);  // indexToLocFormat
  if (format > 1) return "has an unknown glyph location format in its head table (damaged)";
  const int size = format == 0 ? 2 : 4;
  // One location for every glyph, and one that ends the last.
  const std::uint32_t count = bigEndian(maxpBytes + 4, 2) + 1;
  if (loca->length / static_cast<std::uint32_t>(size) < count) {
    return "has a loca table too short for its glyphs (cut short or damaged)";
  }
  return locationsProblem(font, *loca, count, size, glyf->length);
}

int readAdvanceWidths(std::FILE* font, const FontDirectory& directory, AdvanceWidths& widths) {
  widths.advances.clear();
  widths.unitsPerEm = 0;
  const TableEntry* head = findTable(directory, "head");
  const TableEntry* hhea = findTable(directory, "hhea");
  const TableEntry* hmtx = findTable(directory, "hmtx");
  unsigned char headBytes[20];
  unsigned char hheaBytes[36];
  if (head == nullptr || hhea == nullptr || hmtx == nullptr || head->length < sizeof headBytes ||
      hhea->length < sizeof hheaBytes || !readAt(font, head->offset, headBytes, sizeof headBytes) ||
      !readAt(font, hhea->offset, hheaBytes, sizeof hheaBytes)) {
    return 0;
  }
  // numberOfHMetrics: pairs of an advance and a left side bearing, four bytes each.
  const std::uint32_t count = bigEndian(hheaBytes + 34, 2);
  const std::uint32_t unitsPerEm = bigEndian(headBytes + 18, 2);
  if (count == 0 || unitsPerEm == 0 || hmtx->length / 4 < count) return 0;
  std::vector<unsigned char> metrics(std::size_t{count} * 4);
  if (!readAt(font, hmtx->offset, metrics.data(), metrics.size())) return 0;
  widths.advances.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    widths.advances[i] =
        static_cast<std::uint16_t>(bigEndian(metrics.data() + std::size_t{i} * 4, 2));
  }
  widths.unitsPerEm = unitsPerEm;
  return 1;
}

unsigned advanceWidth(const AdvanceWidths& widths, unsigned glyph) {
  if (widths.advances.empty()) return 0;
  return glyph < widths.advances.size() ? widths.advances[glyph] : widths.advances.back();
}

}  // namespace fontkit
