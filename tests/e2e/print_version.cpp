// Prints the FileVersion of the executable named on the command line, read the way the About
// box reads it; the end-to-end test points it at the installed launcher.
#include <cstdio>

#include "app/Tkappinfo.h"
#include "platform/Exception.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: print_version EXECUTABLE\n", stderr);
    return 2;
  }
  try {
    const quillora::TkAppInfo info(quillora::FromUtf8(argv[1]));
    std::printf("%s\n", quillora::ToUtf8(info.GetInfo(quillora::TkAppInfo::kFileVersion)).c_str());
    return 0;
  } catch (const quillora::Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
