// text_file_fuzz.cc - fuzz entry point: the DOS text streams, read and written in pieces of
// random sizes, against a model of the DOS text conventions.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/text_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::check;

// A fuzz input, in this order: a mode byte (bit 0: write rather than read; bits 1-3: the padding
// size; bits 4-5: the padding pattern's length less one; bit 6: write to /dev/full), the byte
// taken off the padding size, the stream's buffer size, the pattern, two bytes of content length,
// the content and then the operations. The padding, the pattern repeated, puts the content's
// first bytes just before a power of two, where the large buffers end; the small buffer sizes
// put buffer ends all through the content.
constexpr std::size_t kPaddings[] = {0,       1 << 12, 1 << 13, 1 << 14,
                                     1 << 16, 1 << 17, 1 << 18, 1 << 19};
constexpr std::size_t kBufferSizes[] = {platform::kSmallTextBuffer,
                                        platform::kLargeTextBuffer,
                                        1,
                                        2,
                                        3,
                                        5,
                                        8,
                                        13,
                                        64,
                                        4095,
                                        4096,
                                        1 << 16};

// Sizes just around the usual buffer sizes, for reads and writes.
constexpr std::size_t kEdgeSizes[] = {1,    2,    4095,  4096,  4097,  8191,
                                      8192, 8193, 65535, 65536, 65537, 262145};

struct Input {
  std::string_view bytes;
  std::size_t at;
};

int takeByte(Input& input) {
  return input.at < input.bytes.size() ? static_cast<unsigned char>(input.bytes[input.at++]) : -1;
}

// One of the sizes at the buffer ends, chosen by the next byte.
std::size_t takeEdgeSize(Input& input) {
  return kEdgeSizes[static_cast<std::size_t>(takeByte(input) & 0xFF) % std::size(kEdgeSizes)];
}

std::size_t takeSize(Input& input) {
  const int low = takeByte(input);
  const int high = takeByte(input);
  return static_cast<std::size_t>((low < 0 ? 0 : low) | (high < 0 ? 0 : high << 8));
}

// What reading the file `raw` as text gives: CR LF reads as LF, a lone CR stays, and the first
// Ctrl-Z ends the file.
std::string readModel(std::string_view raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size() && raw[i] != platform::kEndOfFileMark; ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    text += raw[i];
  }
  return text;
}

// What writing `text` as text puts in the file: every LF as CR LF.
std::string writeModel(std::string_view text) {
  std::string raw;
  for (char c : text) {
    if (c == '\n') raw += '\r';
    raw += c;
  }
  return raw;
}

// Reads everything left in `in`, in blocks of `block` bytes.
std::string readRest(std::FILE* in, std::size_t block) {
  std::string text;
  std::string buffer(block, '\0');
  for (std::size_t got; (got = std::fread(buffer.data(), 1, block, in)) > 0;) {
    text.append(buffer, 0, got);
  }
  return text;
}

// Reads `name` with the operations of `input` and checks every byte against the model; a rewind
// starts again from the top.
void readFile(const std::string& name, std::size_t bufferSize, const std::string& model,
              Input& input) {
  std::FILE* in = platform::openTextFile(name.c_str(), "r", bufferSize);
  check(in != nullptr, "the file opens for reading");
  std::size_t at = 0;  // where the model stands
  std::string buffer;
  for (int op; (op = takeByte(input)) >= 0;) {
    std::size_t size = 0;
    switch (op % 6) {
      case 0:
        size = takeSize(input);
        break;
      case 1:
        size = takeEdgeSize(input);
        break;
      case 2: {
        const int c = std::getc(in);
        check(at < model.size() ? c == static_cast<unsigned char>(model[at++]) : c == EOF,
              "getc reads the model's next byte");
        continue;
      }
      case 3: {
        const int capacity = (takeByte(input) & 0xFF) + 2;
        buffer.assign(static_cast<std::size_t>(capacity), '\0');
        const char* line = std::fgets(buffer.data(), capacity, in);
        std::size_t length = model.size() - at;
        if (length > static_cast<std::size_t>(capacity - 1)) length = capacity - 1;
        const std::size_t lineEnd = model.find('\n', at);
        if (lineEnd != std::string::npos && lineEnd - at + 1 < length) length = lineEnd - at + 1;
        check(length == 0 ? line == nullptr
                          : line != nullptr && std::memcmp(line, model.data() + at, length) == 0 &&
                                line[length] == '\0',
              "fgets reads the model's next line");
        at += length;
        continue;
      }
      case 4:
        std::rewind(in);
        at = 0;
        continue;
      case 5:
        std::clearerr(in);
        continue;
    }
    buffer.assign(size, '\0');
    const std::size_t got = std::fread(buffer.data(), 1, size, in);
    const std::size_t left = model.size() - at;
    check(got == (size < left ? size : left), "a read gets what the model has left");
    check(buffer.compare(0, got, model, at, got) == 0, "a read gets the model's bytes");
    at += got;
    check(!std::ferror(in), "reading sets no error");
  }
  std::rewind(in);
  check(readRest(in, 1 << 16) == model, "a rewind reads the whole text again");
  check(std::getc(in) == EOF && std::feof(in), "the text ends where the model does");
  check(std::fclose(in) == 0, "the input closes");
}

// Writes `text` to `name` in the pieces that `input` asks for; returns whether every write and
// the close succeeded.
bool writeFile(const std::string& name, std::size_t bufferSize, std::string_view text,
               Input& input) {
  std::FILE* out = platform::openTextFile(name.c_str(), "w", bufferSize);
  check(out != nullptr, "the file opens for writing");
  std::size_t at = 0;
  for (int op; at < text.size() && (op = takeByte(input)) >= 0;) {
    std::size_t size = 0;
    switch (op % 4) {
      case 0:
        size = takeSize(input);
        break;
      case 1:
        size = takeEdgeSize(input);
        break;
      case 2:
        std::putc(text[at++], out);
        continue;
      case 3:
        std::fflush(out);
        continue;
    }
    if (size > text.size() - at) size = text.size() - at;
    std::fwrite(text.data() + at, 1, size, out);
    at += size;
  }
  std::fwrite(text.data() + at, 1, text.size() - at, out);
  const bool failed = std::ferror(out) != 0;
  return std::fclose(out) == 0 && !failed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input{std::string_view(reinterpret_cast<const char*>(data), size), 0};
  const int mode = takeByte(input);
  if (mode < 0) return 0;
  const int shortBy = takeByte(input);
  const std::size_t bufferSize =
      kBufferSizes[static_cast<std::size_t>(takeByte(input) & 0xFF) % std::size(kBufferSizes)];
  std::string pattern;
  for (int i = 0; i <= ((mode >> 4) & 3); ++i) pattern += static_cast<char>(takeByte(input) & 0xFF);
  std::size_t padding = kPaddings[static_cast<std::size_t>((mode >> 1) & 7)];
  // Four buffers' worth of padding reaches every kind of buffer end; more only costs time.
  padding %= 4 * bufferSize;
  padding =
      shortBy > 0 && padding > static_cast<std::size_t>(shortBy) ? padding - shortBy : padding;
  std::string content;
  while (content.size() < padding) content += pattern;
  content.resize(padding);
  const std::size_t length = takeSize(input);
  const std::size_t taken = length < size - input.at ? length : size - input.at;
  content.append(input.bytes.substr(input.at, taken));
  input.at += taken;

  static const std::string name = fuzz::scratchPath(".txt");
  if (mode & 1) {
    if (mode & 64) {
      // A full disk: every write fails, and the failure shows by the close at the latest.
      check(writeFile("/dev/full", bufferSize, content, input) == content.empty(),
            "a failed write shows");
      return 0;
    }
    check(writeFile(name, bufferSize, content, input), "writing succeeds");
    const std::string raw = fuzz::readFile(name);
    check(raw == writeModel(content), "every LF is written as CR LF, every other byte as it is");
    // Read back as text, the file gives what was written, up to a Ctrl-Z.
    std::FILE* in = platform::openTextFile(name.c_str(), "r", bufferSize);
    check(in != nullptr, "the file opens again");
    check(readRest(in, 4096) == content.substr(0, content.find(platform::kEndOfFileMark)),
          "what is written reads back");
    std::fclose(in);
  } else {
    fuzz::writeFile(name, content);
    readFile(name, bufferSize, readModel(content), input);
  }
  return 0;
}
