#include "ascii.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define NKF_HAVE_AVX2_PATH 1
#endif

namespace nkf {
namespace {

#if NKF_HAVE_AVX2_PATH
__attribute__((target("avx2"))) std::size_t CopyAvx2(const unsigned char* p, std::size_t n,
                                                     unsigned char* o) {
  const __m256i from = _mm256_set1_epi8(0x0E);
  const __m256i span = _mm256_set1_epi8(0x1B - 0x0E);
  std::size_t i = 0;
  while (n - i >= 64) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    const __m256i dx = _mm256_sub_epi8(x, from);
    const __m256i dy = _mm256_sub_epi8(y, from);
    const __m256i stop = _mm256_or_si256(
        _mm256_or_si256(x, y), _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(dx, span), dx),
                                               _mm256_cmpeq_epi8(_mm256_min_epu8(dy, span), dy)));
    if (_mm256_movemask_epi8(stop) != 0) {
      break;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + i), x);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + i + 32), y);
    i += 64;
  }
  return i;
}
#endif

std::size_t CopyNothing(const unsigned char*, std::size_t, unsigned char*) {
  return 0;
}

using Copy = std::size_t (*)(const unsigned char*, std::size_t, unsigned char*);

Copy Choose() {
#if NKF_HAVE_AVX2_PATH
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    return CopyAvx2;
  }
#endif
  return CopyNothing;
}

}  // namespace

std::size_t CopyJisAsciiBlocks(const unsigned char* p, std::size_t n, unsigned char* o) {
  static const Copy copy = Choose();
  return copy(p, n, o);
}

}  // namespace nkf
