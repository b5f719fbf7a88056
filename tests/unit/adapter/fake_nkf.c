/* A stand-in for the conversion component, built several times with different exports left
 * out and different ways of answering. Every call is written to a log that the tests read
 * through the extra exports FakeNkf*, so they can see exactly what the adapter asked for.
 *
 * Its "conversion" is recognisable rather than real: "[" options "]" followed by every input
 * byte, zero bytes included. Before writing it fills the whole capacity it was offered, so an
 * adapter that claims more room than it has is caught by the address sanitizer, and one that
 * takes more than the reported length sees the filler. */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "nkf32.h"

enum {
  kHonest = 0,     /* the conversion above; asks for the exact room when it lacks some */
  kMoreRoom = 1,   /* first asks for 7 bytes more than offered, then fills what it asked for */
  kHuge = 2,       /* asks for more room than any machine has */
  kGreedy = 3,     /* asks for 7 bytes more than offered, every time */
  kOverreport = 4, /* succeeds, reporting one byte more than the capacity */
  kOddAsk = 5,     /* asks for more room, naming no more than it was offered */
  kOddResult = 6,  /* returns a result that is neither 0 nor -1 */
};

#ifndef FAKE_MODE
#define FAKE_MODE kHonest
#endif

#define FAKE_API __attribute__((visibility("default")))

static char log_text[16384];
static size_t log_length;
static int mode = FAKE_MODE;
__attribute__((unused)) static char options_text[64];
static const char* last_out;
static size_t asked; /* the room kMoreRoom asked for, 0 when it has not asked */

__attribute__((format(printf, 1, 2), unused)) static void Log(const char* format, ...) {
  const size_t room = sizeof log_text - log_length;
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(log_text + log_length, room, format, args);
  va_end(args);
  if (n > 0 && (size_t)n < room)
    log_length += (size_t)n;
}

FAKE_API const char* FakeNkfLog(void) {
  return log_text;
}
FAKE_API const char* FakeNkfLastOut(void) {
  return last_out;
}
FAKE_API void FakeNkfSetMode(int m) {
  mode = m;
}
FAKE_API void FakeNkfReset(void) {
  log_length = 0;
  log_text[0] = '\0';
  mode = FAKE_MODE;
  asked = 0;
  last_out = NULL;
}

#ifndef FAKE_WITHOUT_GetNkfVersion
NKF32_API const char* GetNkfVersion(void) {
  Log("GetNkfVersion\n");
  return "fake";
}
#endif

#ifndef FAKE_WITHOUT_SetNkfOption
NKF32_API int SetNkfOption(const char* options) {
  Log("SetNkfOption(%s)\n", options);
  snprintf(options_text, sizeof options_text, "%s", options);
  return 0;
}
#endif

#ifndef FAKE_WITHOUT_NkfConvert
NKF32_API void NkfConvert(char* out, const char* in) {
  (void)in;
  Log("NkfConvert\n");
  out[0] = '\0';
}
#endif

#ifndef FAKE_WITHOUT_NkfConvertBounded
NKF32_API int NkfConvertBounded(char* out, size_t capacity, size_t* written, const char* in,
                                size_t in_len) {
  Log("NkfConvertBounded(%zu,%zu)\n", capacity, in_len);
  last_out = out;
  if (capacity > 0)
    memset(out, '#', capacity);
  const size_t options_length = strlen(options_text);
  size_t needed = options_length + 2 + in_len;
  switch (mode) {
    case kMoreRoom:
      if (asked == 0 || capacity < asked) {
        asked = capacity + 7;
        *written = asked;
        return -1;
      }
      needed = asked;
      asked = 0;
      break;
    case kHuge:
      *written = SIZE_MAX;
      return -1;
    case kGreedy:
      *written = capacity + 7;
      return -1;
    case kOverreport:
      *written = capacity + 1;
      return 0;
    case kOddAsk:
      *written = capacity;
      return -1;
    case kOddResult:
      *written = 0;
      return 1;
    default:
      break;
  }
  if (capacity < needed) {
    *written = needed;
    return -1;
  }
  out[0] = '[';
  memcpy(out + 1, options_text, options_length);
  out[1 + options_length] = ']';
  memcpy(out + 2 + options_length, in, in_len);
  memset(out + 2 + options_length + in_len, '+', needed - (2 + options_length + in_len));
  *written = needed;
  return 0;
}
#endif

#ifndef FAKE_WITHOUT_ToHankaku
NKF32_API void ToHankaku(char* text) {
  (void)text;
  Log("ToHankaku\n");
}
#endif

#ifndef FAKE_WITHOUT_ToZenkakuKana
NKF32_API int ToZenkakuKana(char* out, size_t capacity, const char* in) {
  (void)out, (void)capacity, (void)in;
  Log("ToZenkakuKana\n");
  return -1;
}
#endif

#ifndef FAKE_WITHOUT_EncodeSubject
NKF32_API int EncodeSubject(char* out, size_t capacity, const char* in) {
  (void)out, (void)capacity, (void)in;
  Log("EncodeSubject\n");
  return -1;
}
#endif
