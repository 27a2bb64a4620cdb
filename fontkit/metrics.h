// metrics.h - the metrics of the kanji fonts: property lists for pltotf, at a design size.
#ifndef FONTKIT_METRICS_H_
#define FONTKIT_METRICS_H_

#include <cstdio>

namespace fontkit {

constexpr int kMinDesignSize = 1000;    // 1pt, in thousandths of a point
constexpr int kMaxDesignSize = 100000;  // 100pt

/// Room for a design size as text: "100.0" and a terminator, with room to spare.
using DesignSizeText = char[16];

/// Reads a design size in points from `text`: digits, then optionally a point and up to three
/// more digits, 1 to 100. Stores it in thousandths of a point in `milliPoints` and returns 1;
/// returns 0, leaving `milliPoints` alone, for anything else.
int parseDesignSize(const char* text, int& milliPoints);

/// Writes `milliPoints` as a decimal number of points with at least one decimal and no trailing
/// zeros after it: 10000 is "10.0", 7250 is "7.25". Sizes outside 1 to 100 points are taken
/// as the nearest end.
void formatDesignSize(int milliPoints, DesignSizeText& text);

/// Writes the property list of font block `block` (0..60) to `out`, for pltotf: family
/// KANJIXX, the design size, and the characters 0 to 127, each 1em wide, 0.88em high and 0.12em
/// deep, the em being the design size. Returns 0 if a write failed.
int writePropertyList(std::FILE* out, int block, int milliPoints);

/// Returns 1 if `tfm` holds a whole TFM file of the characters 0 to 127 at the design size
/// `milliPoints`: the twelve lengths of its first words add up to the length in its first word,
/// and that is the file's size. Returns 0 for anything else: a file cut short (pltotf ends with
/// status 0 when its writes fail), an empty one, or one that cannot be read.
int isWholeTfm(std::FILE* tfm, int milliPoints);

}  // namespace fontkit

#endif  // FONTKIT_METRICS_H_
