// Scans for one byte (a mark) and for a short text, sixteen bytes at a time.
//
// Items are long runs of short pieces: an attribute every ten bytes or so. Calling memchr
// once per mark costs more in calls than in bytes, so these look at a block of sixteen bytes
// with one comparison and count or walk the marks found in its bit mask. They never read
// outside the text they are given. Pure functions of their arguments, for any thread.

#ifndef ORVIK_ENGINE_FUNCTIONS_BYTE_SCAN_H_
#define ORVIK_ENGINE_FUNCTIONS_BYTE_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <cstring>  // memmem, a GNU extension
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvik {

#if defined(__SSE2__)
namespace byte_scan_detail {

// How many of the 64 bytes at `data` are `wanted`: the four comparisons are summed lane by
// lane and then across lanes, with no bit count (which, without a POPCNT instruction, is a
// call into the compiler's library per block).
inline std::size_t CountIn64(const char* data, __m128i wanted) {
  const auto equal = [&](int at) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), wanted);
  };
  // Each lane holds minus the number of matches it saw (0 to -4).
  const __m128i lanes =
      _mm_add_epi8(_mm_add_epi8(equal(0), equal(16)), _mm_add_epi8(equal(32), equal(48)));
  const __m128i zero = _mm_setzero_si128();
  const __m128i sums = _mm_sad_epu8(_mm_sub_epi8(zero, lanes), zero);
  return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
         static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
}

}  // namespace byte_scan_detail
#endif

// The offset of the n-th `mark` (n >= 1) at or after `from`, or npos when there are fewer;
// then `missing`, where given, receives how many more marks it would have taken. One pass
// that counts marks a block at a time.
inline std::size_t NthByte(std::string_view s, char mark, std::size_t n, std::size_t from = 0,
                           std::size_t* missing = nullptr) {
  if (missing) *missing = n;
  if (n == 0) return std::string_view::npos;
  const std::size_t size = s.size();
  const char* data = s.data();
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(mark);
  // Whole blocks of 64 are passed over while the mark wanted lies beyond them.
  for (; i + 64 <= size; i += 64) {
    const std::size_t count = byte_scan_detail::CountIn64(data + i, wanted);
    if (count >= n) break;
    n -= count;
  }
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
    if (bits == 0) continue;
    for (; n > 1 && bits != 0; --n) bits &= bits - 1;  // drop the marks before the one wanted
    if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
  }
#endif
  for (; i < size; ++i) {
    if (data[i] == mark && --n == 0) return i;
  }
  if (missing) *missing = n;
  return std::string_view::npos;
}

// How many `mark` bytes s holds, counted a block at a time.
inline std::size_t CountByte(std::string_view s, char mark) {
  const std::size_t size = s.size();
  const char* data = s.data();
  std::size_t count = 0, i = 0;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(mark);
  for (; i + 64 <= size; i += 64) count += byte_scan_detail::CountIn64(data + i, wanted);
#endif
  for (; i < size; ++i) count += data[i] == mark;
  return count;
}

// The offset of the first `mark` at or after `from`, or npos.
inline std::size_t NextByte(std::string_view s, char mark, std::size_t from) {
  return NthByte(s, mark, 1, from);
}

// Needles longer than this go to the C library's linear search: comparing each candidate
// whole costs up to the needle's length per byte of the text.
inline constexpr std::size_t kShortNeedle = 32;

// The offset of the first occurrence of `needle` in `haystack` (0 for an empty needle), or
// npos. For a short needle only the places where its first and last bytes both match are
// compared whole.
inline std::size_t FirstOccurrence(std::string_view haystack, std::string_view needle) {
  const std::size_t n = needle.size();
  if (n == 0 || n > haystack.size()) return n == 0 ? 0 : std::string_view::npos;
  if (n == 1) return NextByte(haystack, needle[0], 0);
  const char* data = haystack.data();
  if (n > kShortNeedle) {
    const void* hit = memmem(data, haystack.size(), needle.data(), n);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data)
               : std::string_view::npos;
  }
  const std::size_t last = haystack.size() - n;  // the last place the needle may start
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i end = _mm_set1_epi8(needle[n - 1]);
  for (; i + 16 <= last + 1; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1));
    unsigned bits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, end))));
    while (bits != 0) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(bits));
      if (std::memcmp(data + at + 1, needle.data() + 1, n - 2) == 0) return at;
      bits &= bits - 1;
    }
  }
#endif
  for (; i <= last; ++i) {
    if (data[i] == needle[0] && data[i + n - 1] == needle[n - 1] &&
        std::memcmp(data + i + 1, needle.data() + 1, n - 2) == 0)
      return i;
  }
  return std::string_view::npos;
}

}  // namespace orvik

#endif  // ORVIK_ENGINE_FUNCTIONS_BYTE_SCAN_H_
