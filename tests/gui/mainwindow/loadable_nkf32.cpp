// A stand-in for the conversion component with every export it must have, so the window's
// load succeeds in folders the tests build. It converts nothing: the window never converts.
#include <cstddef>

#include "nkf32.h"

extern "C" {

const char* GetNkfVersion(void) {
  return "test";
}
int SetNkfOption(const char*) {
  return 0;
}
void NkfConvert(char* out, const char*) {
  out[0] = '\0';
}
int NkfConvertBounded(char*, size_t, size_t* written, const char*, size_t) {
  *written = 0;
  return 0;
}
void ToHankaku(char*) {}
int ToZenkakuKana(char* out, size_t capacity, const char*) {
  if (capacity == 0) {
    return -1;
  }
  out[0] = '\0';
  return 0;
}
int EncodeSubject(char* out, size_t capacity, const char* in) {
  return ToZenkakuKana(out, capacity, in);
}

}  // extern "C"
