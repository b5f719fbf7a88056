// The C interface: a thin layer over the engine holding the one option state of the process.
#include "nkf32.h"

#include <cstring>
#include <string>

#include "convert.h"
#include "text.h"

namespace {

nkf::Options g_options;

const unsigned char* Bytes(const char* text) {
  return reinterpret_cast<const unsigned char*>(text);
}

// Copies a result with its terminating zero when capacity allows.
int CopyOut(const std::string& result, char* out, size_t capacity) {
  if (out == nullptr || result.size() >= capacity) {
    return -1;
  }
  std::memcpy(out, result.data(), result.size());
  out[result.size()] = '\0';
  return static_cast<int>(result.size());
}

}  // namespace

extern "C" {

const char* GetNkfVersion(void) {
  return "nkf32 " NKF32_VERSION " (Quillora)";
}

int SetNkfOption(const char* options) {
  if (options == nullptr) {
    return -1;
  }
  const std::optional<nkf::Options> parsed = nkf::ParseOptions(options);
  if (!parsed) {
    return -1;
  }
  g_options = *parsed;
  return 0;
}

void NkfConvert(char* out, const char* in) {
  if (out == nullptr) {
    return;
  }
  const size_t size = in == nullptr ? 0 : std::strlen(in);
  // The caller's buffer holds 8 * size + 1 bytes, more than any conversion needs.
  static_assert(nkf::MaxOutput(1) <= 8 && nkf::MaxOutput(2) <= 16);
  const size_t n = nkf::Convert(g_options, Bytes(in), size, reinterpret_cast<unsigned char*>(out),
                                nkf::MaxOutput(size));
  out[n] = '\0';
}

int NkfConvertBounded(char* out, size_t capacity, size_t* written, const char* in, size_t in_len) {
  if ((in == nullptr && in_len != 0) || (out == nullptr && capacity != 0)) {
    if (written != nullptr) {
      *written = 0;
    }
    return -1;
  }
  const size_t n =
      nkf::Convert(g_options, Bytes(in), in_len, reinterpret_cast<unsigned char*>(out), capacity);
  if (written != nullptr) {
    *written = n;
  }
  return n <= capacity ? 0 : -1;
}

void ToHankaku(char* text) {
  if (text == nullptr) {
    return;
  }
  const std::string result = nkf::ToHankaku(text);
  std::memcpy(text, result.c_str(), result.size() + 1);  // never longer than the input
}

int ToZenkakuKana(char* out, size_t capacity, const char* in) {
  return in == nullptr ? -1 : CopyOut(nkf::ToZenkakuKana(in), out, capacity);
}

int EncodeSubject(char* out, size_t capacity, const char* in) {
  return in == nullptr ? -1 : CopyOut(nkf::EncodeSubject(in), out, capacity);
}

}  // extern "C"
