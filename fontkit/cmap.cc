// cmap.cc - reads the Unicode character map of a TrueType or OpenType font.
#include "fontkit/cmap.h"

#include <cstring>

#include "fontkit/sfnt.h"

namespace fontkit {
namespace {

// A cmap larger than this is no character map: the largest fonts hold a few megabytes.
constexpr long kMaxCmapBytes = 64L << 20;

// Reads a big-endian number of `count` bytes (2 or 4) at `pos` of the table into `value`;
// returns 0, leaving `value` alone, when the number does not lie wholly inside the table.
int tableNumber(const FontCmap& cmap, std::size_t pos, int count, std::uint32_t& value) {
  if (pos > cmap.table.size() || cmap.table.size() - pos < static_cast<std::size_t>(count)) {
    return 0;
  }
  value = bigEndian(cmap.table.data() + pos, count);
  return 1;
}

// Rank of a subtable by platform, encoding and format: higher is better, 0 unusable.
int subtableRank(std::uint32_t platform, std::uint32_t encoding, std::uint32_t format) {
  if (platform == 3 && encoding == 10 && format == 12) return 4;
  if (platform == 0 && format == 12) return 3;
  if (platform == 3 && encoding == 1 && format == 4) return 2;
  if (platform == 0 && format == 4) return 1;
  return 0;
}

// Format 4: segments of 16-bit codes, sorted by their end codes; each maps by a delta or
// through the glyph array that its range offset points into.
unsigned formatFourGlyph(const FontCmap& cmap, std::uint32_t codePoint) {
  if (codePoint > 0xFFFF) return 0;
  const std::size_t sub = cmap.subtable;
  std::uint32_t segCountX2 = 0;
  if (!tableNumber(cmap, sub + 6, 2, segCountX2)) return 0;
  const std::size_t segCount = segCountX2 / 2;
  const std::size_t endCodes = sub + 14;
  const std::size_t startCodes = endCodes + 2 * segCount + 2;  // after the reserved pad
  const std::size_t deltas = startCodes + 2 * segCount;
  const std::size_t rangeOffsets = deltas + 2 * segCount;
  // The first segment whose end code is at least the code point.
  std::size_t low = 0;
  std::size_t high = segCount;
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    std::uint32_t end = 0;
    if (!tableNumber(cmap, endCodes + 2 * mid, 2, end)) return 0;
    if (end < codePoint) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low == segCount) return 0;
  std::uint32_t start = 0;
  std::uint32_t delta = 0;
  std::uint32_t rangeOffset = 0;
  const std::size_t rangeOffsetPos = rangeOffsets + 2 * low;
  if (!tableNumber(cmap, startCodes + 2 * low, 2, start) ||
      !tableNumber(cmap, deltas + 2 * low, 2, delta) ||
      !tableNumber(cmap, rangeOffsetPos, 2, rangeOffset) || start > codePoint) {
    return 0;
  }
  if (rangeOffset == 0) return (codePoint + delta) & 0xFFFF;
  std::uint32_t glyph = 0;
  if (!tableNumber(cmap, rangeOffsetPos + rangeOffset + std::size_t{2} * (codePoint - start), 2,
                   glyph)) {
    return 0;
  }
  return glyph == 0 ? 0 : (glyph + delta) & 0xFFFF;
}

// Format 12: groups of 32-bit codes that map to consecutive glyphs, sorted by start code.
unsigned formatTwelveGlyph(const FontCmap& cmap, std::uint32_t codePoint) {
  const std::size_t groups = cmap.subtable + 16;
  std::uint32_t numGroups = 0;
  if (!tableNumber(cmap, cmap.subtable + 12, 4, numGroups)) return 0;
  std::size_t count = numGroups;
  if (groups > cmap.table.size()) return 0;
  if (count > (cmap.table.size() - groups) / 12) count = (cmap.table.size() - groups) / 12;
  std::size_t low = 0;
  std::size_t high = count;
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    const unsigned char* group = cmap.table.data() + groups + 12 * mid;
    const std::uint32_t start = bigEndian(group, 4);
    const std::uint32_t end = bigEndian(group + 4, 4);
    if (codePoint < start) {
      high = mid;
    } else if (codePoint > end) {
      low = mid + 1;
    } else {
      return static_cast<unsigned>(bigEndian(group + 8, 4) + (codePoint - start));
    }
  }
  return 0;
}

}  // namespace

CmapResult readCmap(std::FILE* font, FontCmap& cmap) {
  cmap.table.clear();
  cmap.subtable = 0;
  cmap.format = 0;
  cmap.trueTypeOutlines = 0;
  FontDirectory directory;
  switch (readDirectory(font, directory)) {
    case DirectoryResult::Read:
      break;
    case DirectoryResult::ReadFailed:
      return CmapResult::ReadFailed;
    case DirectoryResult::NotAFont:
    case DirectoryResult::TooManyTables:
      return CmapResult::NotAFont;
  }
  cmap.trueTypeOutlines = findTable(directory, "glyf") != nullptr;
  const TableEntry* entry = findTable(directory, "cmap");
  const long cmapOffset = entry == nullptr ? -1 : static_cast<long>(entry->offset);
  const long cmapLength = entry == nullptr ? 0 : static_cast<long>(entry->length);
  if (cmapOffset < 0 || cmapLength < 4 || cmapLength > kMaxCmapBytes ||
      cmapOffset > directory.fileSize - cmapLength) {
    return CmapResult::NoCmap;
  }
  cmap.table.resize(static_cast<std::size_t>(cmapLength));
  if (!readAt(font, cmapOffset, cmap.table.data(), cmap.table.size())) {
    cmap.table.clear();
    return CmapResult::ReadFailed;
  }
  std::uint32_t numSubtables = 0;
  tableNumber(cmap, 2, 2, numSubtables);
  int bestRank = 0;
  for (std::uint32_t i = 0; i < numSubtables; ++i) {
    std::uint32_t platform = 0;
    std::uint32_t encoding = 0;
    std::uint32_t offset = 0;
    std::uint32_t format = 0;
    if (!tableNumber(cmap, 4 + 8 * i, 2, platform) || !tableNumber(cmap, 6 + 8 * i, 2, encoding) ||
        !tableNumber(cmap, 8 + 8 * i, 4, offset)) {
      break;  // the records run past the table
    }
    if (!tableNumber(cmap, offset, 2, format)) continue;
    const int rank = subtableRank(platform, encoding, format);
    if (rank > bestRank) {
      bestRank = rank;
      cmap.subtable = offset;
      cmap.format = static_cast<int>(format);
    }
  }
  return bestRank > 0 ? CmapResult::Read : CmapResult::NoUnicodeMap;
}

unsigned glyphIndex(const FontCmap& cmap, std::uint32_t codePoint) {
  switch (cmap.format) {
    case 4:
      return formatFourGlyph(cmap, codePoint);
    case 12:
      return formatTwelveGlyph(cmap, codePoint);
    default:
      return 0;
  }
}

const char* cmapResultText(CmapResult result) {
  switch (result) {
    case CmapResult::Read:
      return "has a Unicode character map";
    case CmapResult::ReadFailed:
      return "cannot be read";
    case CmapResult::NotAFont:
      return "is not a TrueType or OpenType font";
    case CmapResult::NoCmap:
      return "has no character map (cmap table)";
    case CmapResult::NoUnicodeMap:
      return "has no Unicode character map of format 4 or 12";
  }
  return "";
}

}  // namespace fontkit
