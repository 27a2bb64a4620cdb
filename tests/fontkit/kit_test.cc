// kit_test.cc - kanjikit's command line.
#include "fontkit/kit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Parsed {
  fontkit::Request request;
  fontkit::KitOptions options;
  std::string messages;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "kanjikit");
  std::vector<char*> argv;
  for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
  argv.push_back(nullptr);
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* err = open_memstream(&data, &size);
  Parsed parsed;
  parsed.request =
      fontkit::parseArguments(static_cast<int>(args.size()), argv.data(), parsed.options, err);
  std::fclose(err);
  parsed.messages.assign(data, size);
  std::free(data);
  return parsed;
}

std::string text(const char* s) { return s == nullptr ? "(none)" : s; }

TEST(Kit, OptionsAndDefaults) {
  struct Case {
    std::vector<const char*> args;
    const char* font;
    const char* root;
    int designSize;
    int metricsOnly;
    int perFontMap;
    const char* gothic = nullptr;
    int noGothic = 0;
  } cases[] = {
      {{}, nullptr, nullptr, fontkit::kDefaultDesignSize, 0, 0},
      {{"tree"}, nullptr, "tree", fontkit::kDefaultDesignSize, 0, 0},
      {{"--font", "ipag.ttf", "/tmp/t"}, "ipag.ttf", "/tmp/t", fontkit::kDefaultDesignSize, 0, 0},
      {{"--metrics-only", "--design-size", "10", "r"}, nullptr, "r", 10000, 1, 0},
      {{"r", "--design-size", "6.5", "--font", "a.ttf"}, "a.ttf", "r", 6500, 0, 0},
      {{"--design-size", "8", "--design-size", "9"}, nullptr, nullptr, 9000, 0, 0},
      {{"--per-font-map", "r"}, nullptr, "r", fontkit::kDefaultDesignSize, 0, 1},
      {{"--gothic", "g.ttf", "r"}, nullptr, "r", fontkit::kDefaultDesignSize, 0, 0, "g.ttf"},
      {{"--no-gothic", "--per-font-map"},
       nullptr,
       nullptr,
       fontkit::kDefaultDesignSize,
       0,
       1,
       nullptr,
       1},
      {{"--metrics-only", "--no-gothic"},
       nullptr,
       nullptr,
       fontkit::kDefaultDesignSize,
       1,
       0,
       nullptr,
       1},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.args);
    EXPECT_EQ(fontkit::Request::Run, p.request);
    EXPECT_EQ(text(c.font), text(p.options.fontFile));
    EXPECT_EQ(text(c.root), text(p.options.root));
    EXPECT_EQ(c.designSize, p.options.designSize);
    EXPECT_EQ(c.metricsOnly, p.options.metricsOnly);
    EXPECT_EQ(c.perFontMap, p.options.perFontMap);
    EXPECT_EQ(text(c.gothic), text(p.options.gothicFile));
    EXPECT_EQ(c.noGothic, p.options.noGothic);
    EXPECT_EQ("", p.messages);
  }
}

TEST(Kit, BadCommandLines) {
  struct Case {
    std::vector<const char*> args;
    const char* message;
  } cases[] = {
      {{"--font"}, "kanjikit: --font needs a value\n"},
      {{"--font", ""}, "kanjikit: --font needs a value\n"},
      {{"--design-size"}, "kanjikit: --design-size needs a value\n"},
      {{"--gothic"}, "kanjikit: --gothic needs a value\n"},
      {{"--gothic", "g.ttf", "--no-gothic"}, "kanjikit: --gothic cannot go with --no-gothic\n"},
      {{"--metrics-only", "--gothic", "g.ttf"}, "kanjikit: --gothic cannot go with --metrics-only"},
      {{"--design-size", "0.5"}, "kanjikit: bad design size 0.5: "},
      {{"--design-size", "7pt"}, "kanjikit: bad design size 7pt: "},
      {{"--metric-only"}, "kanjikit: unknown option --metric-only\n"},
      {{"-f", "x"}, "kanjikit: unknown option -f\n"},
      {{"a", "b"}, "kanjikit: more than one ROOT\n"},
      {{""}, "kanjikit: empty ROOT\n"},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.args);
    EXPECT_EQ(fontkit::Request::BadUsage, p.request) << c.message;
    EXPECT_EQ(0u, p.messages.find(c.message)) << p.messages;
    EXPECT_NE(std::string::npos, p.messages.find("usage: kanjikit [--font FILE]")) << c.message;
  }
  EXPECT_EQ(fontkit::Request::Help, parse({"--help", "--bogus"}).request);
  EXPECT_EQ(fontkit::Request::Version, parse({"root", "--version"}).request);
}

}  // namespace
