// driver_test.cc - the converter's run: a Japanese file that changes between the two passes.
#include "converter/driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string scratchFolder(const char* tag) {
  const std::string name =
      ::testing::TempDir() + "driver_" + tag + "_" + std::to_string(::getpid());
  ::mkdir(name.c_str(), 0777);
  return name;
}

void writeRaw(const std::string& name, const std::string& bytes, const char* mode) {
  std::FILE* f = std::fopen(name.c_str(), mode);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A console that copies the transcript to stderr and, once the header is announced (the scan is
// over, the conversion pass to come), changes the Japanese file as a concurrent editor would.
struct Editor {
  std::string file;
  std::string bytes;  // written to `file`...
  const char* mode;   // ...with this fopen mode; nullptr leaves the file alone
  int done;
};

ssize_t writeConsole(void* cookie, const char* data, std::size_t size) {
  Editor& editor = *static_cast<Editor*>(cookie);
  std::fwrite(data, 1, size, stderr);
  if (!editor.done && editor.mode != nullptr &&
      std::string(data, size).find("Writing LaTeX header") != std::string::npos) {
    writeRaw(editor.file, editor.bytes, editor.mode);
    editor.done = 1;
  }
  return static_cast<ssize_t>(size);
}

[[noreturn]] void convertWhileEditing(const std::string& folder, Editor& editor) {
  if (::chdir(folder.c_str()) != 0) std::exit(3);
  cookie_io_functions_t io{};
  io.write = writeConsole;
  std::FILE* console = fopencookie(&editor, "w", io);
  std::setvbuf(console, nullptr, _IONBF, 0);
  const char* argv[] = {"kotobun", "sample"};
  std::exit(kotobun::runConverter(2, argv, stdin, console));
}

TEST(Driver, FileChangedBetweenThePassesFails) {
  const std::string text = "abc \xa4\xa2\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    const char* mode;
  };
  const Case cases[] = {
      {"grows by a kanji of another font", "\xb0\xa1\r\n", "ab"},
      {"shrinks", "abc", "wb"},
      {"is rewritten at the same size", "xyz \xb0\xa1\r\n", "wb"},
  };
  const std::string folder = scratchFolder("changed");
  const std::string name = folder + "/sample.kjx";
  for (const Case& c : cases) {
    writeRaw(name, text, "wb");
    // Saved a while ago: a write now shows in its times even where the clock is coarse.
    const struct timespec saved[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, name.c_str(), saved, 0));
    Editor editor{name, c.bytes, c.mode, 0};
    EXPECT_EXIT(convertWhileEditing(folder, editor), ::testing::ExitedWithCode(1),
                "Converting Japanese file\n\\.\n\aJapanese file sample\\.kjx changed during the "
                "conversion\\.\\.\\.\n$")
        << c.what;
  }
  // Left alone, the same file converts.
  writeRaw(name, text, "wb");
  Editor untouched{name, "", nullptr, 0};
  EXPECT_EXIT(convertWhileEditing(folder, untouched), ::testing::ExitedWithCode(0),
              "conversion completed");
  std::remove(name.c_str());
  std::remove((folder + "/sample.tex").c_str());
  ::rmdir(folder.c_str());
}

}  // namespace
