/* The conversion component's C interface: Japanese character codes (Shift_JIS as code page
 * 932, ISO-2022-JP, EUC-JP, UTF-8) converted between each other.
 *
 * The component keeps one option state for the whole process; it is called by one thread at a
 * time. Every SetNkfOption call replaces that state entirely. */
#ifndef NKF32_H
#define NKF32_H

#include <stddef.h>

#if defined(_WIN32)
#define NKF32_API __declspec(dllexport)
#else
#define NKF32_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The component's version text, zero-terminated, owned by the component. */
NKF32_API const char* GetNkfVersion(void);

/* Sets the options for the following conversions: at most one input letter ("S" Shift_JIS,
 * "J" JIS, "E" EUC-JP, "W" UTF-8; none: the input code is detected) and one output letter
 * ("s", "j", "e", "w"; none: Shift_JIS). Returns 0, or -1 when the string holds a letter that is
 * not an option; the state is then left as it was. */
NKF32_API int SetNkfOption(const char* options);

/* Converts the zero-terminated text in into out, zero-terminated. out must hold at least
 * 8 * strlen(in) + 1 bytes: no conversion the component makes grows the text by more. */
NKF32_API void NkfConvert(char* out, const char* in);

/* Converts all in_len bytes of in (a zero byte is an ordinary byte) and writes at most capacity
 * bytes to out; no terminating zero is added. Returns 0 with *written set to the output's length,
 * or -1 with *written set to the exact length needed when capacity is too small; out may then
 * hold a partial output. Bytes of out past the output are left as they were. out may be null
 * when capacity is 0; written may be null. Returns -1 with *written 0 when in is null with a
 * length, or out null with a capacity. */
NKF32_API int NkfConvertBounded(char* out, size_t capacity, size_t* written, const char* in,
                                size_t in_len);

/* Shift_JIS text, zero-terminated, in place: full-width ASCII and katakana become half-width. */
NKF32_API void ToHankaku(char* text);

/* Shift_JIS text: half-width katakana become full-width (a voiced mark joins the kana before it).
 * Writes at most capacity bytes including the terminating zero; returns the length written
 * without it, or -1 when capacity is too small. */
NKF32_API int ToZenkakuKana(char* out, size_t capacity, const char* in);

/* A mail subject in Shift_JIS, as encoded words "=?ISO-2022-JP?B?...?=" of at most 75
 * characters each, separated by CRLF and a space. Writes at most capacity bytes including the
 * terminating zero; returns the length written without it, or -1 when capacity is too small. */
NKF32_API int EncodeSubject(char* out, size_t capacity, const char* in);

#ifdef __cplusplus
}
#endif

#endif /* NKF32_H */
