// Runs a fuzz target without libFuzzer: over every file named on the command line, and every
// file in a folder named there. The first byte of an input picks what the target does with the
// rest (for fuzz_convert, the option string), so each input runs once with every value of that
// byte, and a small seed corpus covers every mode of the target.
//
// Usage: fuzz_NAME FILE_OR_FOLDER...

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunEveryFirstByte(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> input((std::istreambuf_iterator<char>(file)), {});
  if (input.empty()) {
    LLVMFuzzerTestOneInput(input.data(), 0);
    return;
  }
  for (int first = 0; first < 256; ++first) {
    input[0] = static_cast<uint8_t>(first);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) {
          files.push_back(entry.path());
        }
      }
    } else if (std::filesystem::is_regular_file(arg)) {
      files.push_back(arg);
    } else {
      std::fprintf(stderr, "%s: no such file or folder: %s\n", argv[0], argv[i]);
      return 2;
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    RunEveryFirstByte(f);
  }
  std::printf("%s: %zu inputs, each with every first byte\n", argv[0], files.size());
  // No input at all means a missing corpus, not a pass.
  return files.empty() ? 1 : 0;
}
