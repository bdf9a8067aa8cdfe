// Stepping over the runs of a text column eight at a time (string_table.h).
//
// In the code columns (odd/even, record type, unit designator, ...) nearly
// every run is one value byte and a one-byte length: two bytes, the first
// below 0x80 and the second not (a "simple" run). Stepped one at a time, each
// such run waits for the value it repeats to be written into the ring of
// recent values. Here up to eight runs (sixteen bytes) are taken in a few
// vector steps: their lengths are summed, and their values are worked out
// all at once with the ring held as 32 one-byte ids in two vectors, oldest
// first:
//
//   id 0           the empty value
//   id 1..127      the one-character value of that code
//   id 128 + s     the value that was in ring slot s when the ring took this
//                  form (anything longer than one character; kept aside)
//
// A run's value byte b is the empty value (0), a repeat of the b-th most
// recent value (1..31) or a character (32..127). A repeat among the eight can
// point at another repeat among them; those chains are at most seven long and
// are followed by pointer jumping (each round doubles the distance covered),
// three rounds.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cpu_features.h"

namespace corvdb {

// Every one-character value as text: a value held as an id is read here.
constexpr std::array<char, 128> MakeCharacters() {
  std::array<char, 128> c{};
  for (std::size_t i = 0; i < c.size(); ++i) c[i] = static_cast<char>(i);
  return c;
}
inline constexpr std::array<char, 128> kCharacters = MakeCharacters();

// Where stepping stands: the next run at `p`; the current run covers entries
// [runBegin, runEnd); `count` values were decoded.
struct TextSteps {
  const uint8_t* p;
  uint64_t runBegin;
  uint64_t runEnd;
  uint64_t count;
};

// The ring of recent values as ids (see above), and the values it kept aside.
struct IdRing {
  alignas(16) std::array<uint8_t, 32> ids{};  // oldest first: ids[31] is the last value
  std::array<const char*, 32> keptData{};
  std::array<std::size_t, 32> keptSize{};
};

// Whether the sixteen bytes at p are eight simple runs (the byte after them
// must then begin the next run, so seventeen bytes are read).
inline bool EightSimpleRuns(const uint8_t* p) {
  uint64_t a;
  uint64_t b;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 8);
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  constexpr uint64_t kOdd = 0x8000800080008000ull;  // bit 7 of every second byte
  return (a & kHigh) == kOdd && (b & kHigh) == kOdd && p[16] < 0x80;
}

// The ring of the `count` (at least 32) values decoded, slot = value number
// mod 32, as ids.
inline void RingToIds(const char* const* data, const std::size_t* size, uint64_t count, IdRing* ring) {
  std::memcpy(ring->keptData.data(), data, sizeof ring->keptData);
  std::memcpy(ring->keptSize.data(), size, sizeof ring->keptSize);
  for (unsigned i = 0; i < 32; ++i) {
    const std::size_t slot = (count + i) & 31;  // (count - 32 + i) mod 32
    const std::size_t n = size[slot];
    const char* text = n == 0 ? kCharacters.data() : data[slot];
    const uint8_t first = static_cast<uint8_t>(text[0]);
    ring->ids[i] = n == 0 ? uint8_t{0} : (n == 1 && first < 128 ? first : static_cast<uint8_t>(128 + slot));
  }
}

// What an id stands for: literal text as it stood (not cut at a byte 0), as
// the ring of pointers holds it.
inline std::string_view IdValue(const IdRing& ring, uint8_t id) {
  if (id >= 128) return std::string_view(ring.keptData[id & 31u], ring.keptSize[id & 31u]);
  return id == 0 ? std::string_view() : std::string_view(&kCharacters[id], 1);
}

// Back to the ring of pointers.
inline void IdsToRing(const IdRing& ring, uint64_t count, const char** data, std::size_t* size) {
  for (unsigned i = 0; i < 32; ++i) {
    const std::size_t slot = (count + i) & 31;
    const std::string_view value = IdValue(ring, ring.ids[i]);
    data[slot] = value.data();
    size[slot] = value.size();
  }
}

#if defined(CORVDB_X86_AVX2)
// Steps over simple runs while the current run ends at or before entry k:
// stops at the run that covers k, before a run of another shape, or where
// fewer than seventeen bytes remain. At least 32 values must have been
// decoded (no repeat then reaches before the block's first value). Runs on
// processors with AVX2 (HasAvx2), though it needs only SSSE3 and SSE4.1.
__attribute__((target("avx2"))) inline TextSteps StepIdRuns(TextSteps s, const uint8_t* limit, uint64_t k,
                                                            IdRing* ring) {
  __m128i older = _mm_load_si128(reinterpret_cast<const __m128i*>(ring->ids.data()));
  __m128i newer = _mm_load_si128(reinterpret_cast<const __m128i*>(ring->ids.data() + 16));
  const __m128i value_bytes = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i length_words = _mm_setr_epi8(1, -1, 3, -1, 5, -1, 7, -1, 9, -1, 11, -1, 13, -1, 15, -1);
  // Run i's place after the 32 ring ids: a repeat of b reads place 32 + i - b.
  const __m128i places = _mm_setr_epi8(32, 33, 34, 35, 36, 37, 38, 39, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i eight = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i low4 = _mm_set1_epi8(0x0F);
  const __m128i zero = _mm_setzero_si128();
  while (s.runEnd <= k && limit - s.p >= 17) {
    const uint8_t* const p = s.p;
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Run i is simple when bytes 2i and 2i + 2 are below 0x80 and 2i + 1 is not.
    const uint32_t high = static_cast<uint32_t>(_mm_movemask_epi8(x)) | (uint32_t{p[16] >= 0x80} << 16);
    const uint32_t low = ~high;
    const uint32_t simple = low & (high >> 1) & (low >> 2) & 0x5555u;
    const unsigned simple_runs = static_cast<unsigned>(std::countr_zero((~simple & 0x5555u) | 0x10000u)) / 2;
    if (simple_runs == 0) break;
    // The runs' lengths as words, summed from the first: ends[i] is where run
    // i ends, counted from the current run's end.
    __m128i ends = _mm_add_epi16(_mm_and_si128(_mm_shuffle_epi8(x, length_words), _mm_set1_epi16(0x7F)),
                                 _mm_set1_epi16(1));
    ends = _mm_add_epi16(ends, _mm_slli_si128(ends, 2));
    ends = _mm_add_epi16(ends, _mm_slli_si128(ends, 4));
    ends = _mm_add_epi16(ends, _mm_slli_si128(ends, 8));
    // The runs up to the one that covers k (eight runs cover at most 1024).
    unsigned taken = simple_runs;
    const uint64_t room = k - s.runEnd;
    if (room < 1024) {
      const uint32_t beyond = static_cast<uint32_t>(
          _mm_movemask_epi8(_mm_cmpgt_epi16(ends, _mm_set1_epi16(static_cast<int16_t>(room)))));
      if (beyond != 0) taken = std::min(taken, static_cast<unsigned>(std::countr_zero(beyond)) / 2 + 1);
    }
    // The values: characters and the empty value as they are, repeats of the
    // ring's ids by two table lookups, repeats among the eight by jumping.
    const __m128i b = _mm_shuffle_epi8(x, value_bytes);  // bytes 8..15 are 0
    const __m128i repeat =
        _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi8(b, zero), _mm_cmplt_epi8(b, _mm_set1_epi8(32))), eight);
    __m128i source = _mm_sub_epi8(places, b);
    const __m128i in_ring = _mm_cmplt_epi8(source, _mm_set1_epi8(32));
    const __m128i index = _mm_and_si128(source, low4);
    const __m128i from_ring = _mm_blendv_epi8(_mm_shuffle_epi8(older, index), _mm_shuffle_epi8(newer, index),
                                              _mm_cmpgt_epi8(source, _mm_set1_epi8(15)));
    __m128i value = _mm_blendv_epi8(b, from_ring, _mm_and_si128(repeat, in_ring));
    __m128i pending = _mm_andnot_si128(in_ring, repeat);
    for (int round = 0; round < 3; ++round) {  // (no test between rounds: it would be mispredicted)
      const __m128i at = _mm_sub_epi8(source, _mm_set1_epi8(32));  // 0..7 where pending
      const __m128i pending_at = _mm_shuffle_epi8(pending, at);
      value = _mm_blendv_epi8(value, _mm_shuffle_epi8(value, at), _mm_andnot_si128(pending_at, pending));
      source = _mm_blendv_epi8(source, _mm_shuffle_epi8(source, at), _mm_and_si128(pending_at, pending));
      pending = _mm_and_si128(pending, pending_at);
    }
    // The ring moves on by the runs taken: its oldest go, the new ones come.
    if (taken == 8) {
      older = _mm_alignr_epi8(newer, older, 8);
      newer = _mm_alignr_epi8(value, newer, 8);
      s.runBegin = s.runEnd + static_cast<uint16_t>(_mm_extract_epi16(ends, 6));
      s.runEnd += static_cast<uint16_t>(_mm_extract_epi16(ends, 7));
    } else {
      alignas(16) uint8_t line[48];
      alignas(16) uint16_t end_of[8];
      _mm_store_si128(reinterpret_cast<__m128i*>(line), older);
      _mm_store_si128(reinterpret_cast<__m128i*>(line + 16), newer);
      _mm_store_si128(reinterpret_cast<__m128i*>(line + 32), value);
      _mm_store_si128(reinterpret_cast<__m128i*>(end_of), ends);
      older = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + taken));
      newer = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 + taken));
      s.runBegin = s.runEnd + (taken >= 2 ? end_of[taken - 2] : 0);
      s.runEnd += end_of[taken - 1];
    }
    s.p += 2 * taken;
    s.count += taken;
    if (taken < 8) break;  // at the run that covers k, or before a run of another shape
  }
  _mm_store_si128(reinterpret_cast<__m128i*>(ring->ids.data()), older);
  _mm_store_si128(reinterpret_cast<__m128i*>(ring->ids.data() + 16), newer);
  return s;
}
#endif

}  // namespace corvdb
