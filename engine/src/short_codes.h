// Stepping over the codes of a numeric column (number_table.h) without
// storing the numbers they emit, many codes at a time.
//
// Nearly every code of the house, unit and update key columns is a delta of
// tag 0 or 1 written in one or two bytes: a one-byte code is a final byte F
// (bit 7 set), a two-byte code a lead byte L (bit 7 clear) and then F. Its
// delta is L * 32 + F's bits 2 to 6 (L = 0 for one byte), negative for tag 1
// (F's bit 0). Such codes are summed a machine word (or a 16-byte vector) at
// a time whatever the code boundaries: a lead at the end of a word is added
// with its final at the start of the next, so that nothing but the address
// carries from one word to the next and the words overlap in the processor.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "cpu_features.h"

namespace corvdb {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kTagTwoBits = 0x0202020202020202ull;
constexpr uint64_t kTagOneBits = 0x0101010101010101ull;

// The sum of the eight bytes of x, each below 128.
inline uint32_t ByteSum(uint64_t x) {
  const uint64_t pairs = (x & 0x00FF00FF00FF00FFull) + ((x >> 8) & 0x00FF00FF00FF00FFull);
  return static_cast<uint32_t>((pairs * 0x0001000100010001ull) >> 48);
}

// Steps over codes of one or two bytes with tags 0 and 1 (a delta each:
// nearly every code of the house, unit and update key columns), eight bytes
// at a time. A two-byte code is a lead byte L (bit 7 clear) and a final byte F
// (bit 7 set) and its delta is L * 32 + F's bits 2 to 6; a one-byte code is F
// alone; tag 1 (F's bit 0) makes the delta negative. The words are taken one
// after the other whatever the code boundaries (a lead at the end of a word
// is added with its final in the next word), so that nothing but the address
// carries from one word to the next. Stops before a word with another kind of
// code, before fewer than eight bytes remain, or when fewer than eight more
// codes are allowed; returns where the next code starts, having added the
// deltas to *value, the codes to *codes and left the last code's step in
// *step.
inline const uint8_t* SkipShortCodes(const uint8_t* p, const uint8_t* limit, uint64_t allowed, uint32_t* value,
                                     uint32_t* step, uint64_t* codes) {
  if constexpr (std::endian::native != std::endian::little) return p;
  constexpr uint64_t kLow7 = ~kHighBits;
  uint64_t n = 0;
  uint32_t v = *value;
  uint32_t last_step = *step;
  uint32_t carry = 0;  // the lead byte that ended the previous word, if any
  bool carrying = false;
  while (allowed - n >= 8 && limit - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    uint64_t stops = w & kHighBits;
    uint64_t leads = ~w & kHighBits;
    // A code of another kind (a final of tag 2 or 3, a lead followed by a
    // lead: three bytes or more) ends the steps: the codes before it are taken.
    const uint64_t bad = ((w & ((stops >> 7) * 0xFF) & kTagTwoBits) << 6) | (leads & (leads >> 8)) |
                         (carrying ? leads & 0x80 : 0);
    int cut = 8;  // the bytes of this word taken
    if (bad != 0) {
      const int b = std::countr_zero(bad) / 8;
      cut = (b > 0 && ((leads >> (8 * (b - 1))) & 0x80) != 0) ? b - 1 : b;  // where that code starts
      if (cut == 0) break;  // (with a carried lead, that lead is read again below)
      const uint64_t taken = (uint64_t{1} << (8 * cut)) - 1;
      stops &= taken;
      leads &= taken;
    }
    const uint64_t final_bytes = (stops >> 7) * 0xFF;
    const uint64_t paired_leads = ((leads & 0x0080808080808080ull) >> 7) * 0xFF;  // each followed by its final
    const uint64_t down_finals = (w & kTagOneBits & (stops >> 7)) * 0xFF;
    const uint64_t down_leads = (down_finals >> 8) & paired_leads;
    const uint64_t finals = ((w & kLow7) >> 2) & 0x1F1F1F1F1F1F1F1Full & final_bytes;
    const uint64_t lead_bits = w & kLow7 & paired_leads;
    uint32_t sum = ByteSum(finals) - 2 * ByteSum(finals & down_finals) +
                   32 * (ByteSum(lead_bits) - 2 * ByteSum(lead_bits & down_leads));
    if (carrying) sum += (w & 1) ? 0u - 32 * carry : 32 * carry;  // byte 0 is the carried lead's final
    v += sum;
    n += ByteSum(stops >> 7);
    // The step of the word's last code (a tag 3 run further on repeats it).
    const int e = 7 - std::countl_zero(stops) / 8;
    const uint32_t f = static_cast<uint32_t>(w >> (8 * e)) & 0x7Fu;
    uint32_t lead = 0;
    if (e > 0) {
      if (((leads >> (8 * (e - 1))) & 0x80) != 0) lead = static_cast<uint32_t>(w >> (8 * (e - 1))) & 0x7Fu;
    } else if (carrying) {
      lead = carry;
    }
    const uint32_t g = lead * 32 + (f >> 2);
    last_step = (f & 1) ? 0u - g : g;
    if (cut < 8) {
      // The code at `cut` is left to the caller; the byte before it ended a code.
      carrying = false;
      p += cut;
      break;
    }
    carrying = (w >> 63) == 0;
    carry = static_cast<uint32_t>(w >> 56) & 0x7Fu;
    p += 8;
  }
  if (carrying) --p;  // that code is read again
  *value = v;
  *step = last_step;
  *codes = n;
  return p;
}

#if defined(__SSE2__) || defined(CORVDB_X86_AVX2)
// What the vector walks below keep from one vector to the next, and the work
// between vectors that does not depend on their width: the running value,
// the entries emitted, the lead byte that ended the previous vector, the
// step of the last code taken, and a code of another kind read on its own.
struct ShortCodeWalk {
  uint64_t n = 0;
  uint32_t v = 0;
  uint32_t lastStep = 0;
  uint32_t carry = 0;  // the lead byte that ended the previous vector, if `carrying`
  bool carrying = false;
  // The step of the last code taken is worked out only when needed (a run
  // repeating it, or the end): from the last vector summed, when that vector
  // holds the last code.
  const uint8_t* lastWord = nullptr;
  uint32_t lastStops = 0;
  uint32_t lastLeads = 0;
  int32_t lastCarry = -1;

  void settleStep() {
    if (lastWord == nullptr) return;
    const int e = 31 - std::countl_zero(lastStops);
    const uint32_t f = lastWord[e] & 0x7Fu;
    if ((f & 2) != 0) {
      lastStep = (f >> 2) & 1;  // a run of tag 2: g mod 2
      lastWord = nullptr;
      return;
    }
    uint32_t lead = 0;
    if (e > 0) {
      if (((lastLeads >> (e - 1)) & 1u) != 0) lead = lastWord[e - 1] & 0x7Fu;
    } else if (lastCarry >= 0) {
      lead = static_cast<uint32_t>(lastCarry);
    }
    const uint32_t g = lead * 32 + (f >> 2);
    lastStep = (f & 1) ? 0u - g : g;
    lastWord = nullptr;
  }

  // What the carried lead adds, its final `f` being the vector's byte 0.
  void addCarried(uint32_t f, uint32_t* sum, uint64_t* emitted) const {
    if (!carrying) return;
    if ((f & 2) != 0) {
      *emitted += 16 * carry;
      if ((f & 4) != 0) *sum += 16 * carry;
    } else {
      *sum += (f & 1) ? 0u - 32 * carry : 32 * carry;
    }
  }

  // The codes of the vector at p up to its stops and leads were summed.
  void took(const uint8_t* p, uint32_t stops, uint32_t leads, uint32_t sum, uint64_t emitted) {
    v += sum;
    n += emitted;
    lastWord = p;
    lastStops = stops;
    lastLeads = leads;
    lastCarry = carrying ? static_cast<int32_t>(carry) : -1;
  }

  // A vector ending at `last` was taken whole.
  void passed(const uint8_t* last) {
    carrying = (*last & 0x80u) == 0;
    carry = *last & 0x7Fu;
  }

  // Reads the code of another kind at *p on its own and goes on after it;
  // false (at that code) when the data ends inside it or its entries go
  // beyond `allowed` (the caller takes a run that reaches the limit).
  bool takeOther(const uint8_t** p, const uint8_t* limit, uint64_t allowed) {
    carrying = false;
    uint32_t code = 0;
    const uint8_t* after = GetVarMode0(*p, limit, &code);
    if (after == nullptr) return false;
    const uint32_t g = code / 4;
    uint64_t times = 1;
    uint32_t next_step = 0;
    switch (code % 4) {
      case 0: next_step = g; break;
      case 1: next_step = 0u - g; break;
      case 2: next_step = g % 2; times = uint64_t{g / 2} + 1; break;
      default:
        settleStep();
        next_step = lastStep;
        times = g;
        break;
    }
    if (times > allowed - n) return false;
    v += next_step * static_cast<uint32_t>(times);
    n += times;
    lastWord = nullptr;
    lastStep = next_step;
    *p = after;
    return true;
  }

  const uint8_t* finish(const uint8_t* p, uint32_t* value, uint32_t* step, uint64_t* codes) {
    settleStep();
    if (carrying) --p;  // that code is read again
    *value = v;
    *step = lastStep;
    *codes = n;
    return p;
  }
};
#endif

#if defined(__SSE2__)
// SkipShortCodes sixteen bytes at a time with SSE2 (every x86-64 processor):
// the byte masks come from movemask, the sums from psadbw. Runs of tag 2 of
// one or two bytes (g / 2 + 1 entries, each adding g mod 2) do not depend on
// the codes before them and are summed in the vector too: their entries are
// bits 3 to 6 of the final byte + 1 + 16 times the lead, and they add as
// many when bit 2 is set. A code of another kind (three bytes or more, or a
// run of tag 3, which repeats the step before it) is read on its own where it
// comes and the steps go on after it; *codes counts the entries the codes
// emit.
inline const uint8_t* SkipShortCodesSse2(const uint8_t* p, const uint8_t* limit, uint64_t allowed, uint32_t* value,
                                         uint32_t* step, uint64_t* codes) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low4 = _mm_set1_epi8(0x0F);
  const __m128i low5 = _mm_set1_epi8(0x1F);
  const __m128i low7 = _mm_set1_epi8(0x7F);
  const __m128i ones = _mm_set1_epi8(1);
  const __m128i positions = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i not_last = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0);
  const auto lanes = [](__m128i sums) {
    return static_cast<uint32_t>(_mm_cvtsi128_si32(sums)) + static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  };
  ShortCodeWalk w;
  w.v = *value;
  w.lastStep = *step;
  // A vector whose runs would emit more entries than allowed is taken again
  // with its runs read one at a time.
  bool runs_alone = false;
  while (allowed - w.n >= 16 && limit - p >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    uint32_t stops = static_cast<uint32_t>(_mm_movemask_epi8(x));
    uint32_t leads = ~stops & 0xFFFFu;
    const __m128i bit1 = _mm_slli_epi16(x, 6);  // each byte's bit 1 in its sign
    const __m128i bit0 = _mm_slli_epi16(x, 7);
    const uint32_t tag_bit1 = static_cast<uint32_t>(_mm_movemask_epi8(bit1)) & stops;
    const uint32_t tag_bit0 = static_cast<uint32_t>(_mm_movemask_epi8(bit0));
    const uint32_t runs = runs_alone ? tag_bit1 : tag_bit1 & tag_bit0;  // tag 3 (and tag 2 when alone)
    const uint32_t bad = runs | (leads & (leads >> 1)) | (w.carrying ? leads & 1u : 0u);
    int cut = 16;
    __m128i taken = _mm_set1_epi8(-1);
    if (bad != 0) {
      const int b = std::countr_zero(bad);
      cut = (b > 0 && ((leads >> (b - 1)) & 1u) != 0) ? b - 1 : b;
      const uint32_t kept = (1u << cut) - 1;
      stops &= kept;
      leads &= kept;
      taken = _mm_cmplt_epi8(positions, _mm_set1_epi8(static_cast<char>(cut)));
    }
    if (cut > 0) {
      const __m128i final_bytes = _mm_and_si128(_mm_cmplt_epi8(x, zero), taken);
      const __m128i paired_leads = _mm_and_si128(_mm_andnot_si128(final_bytes, taken), not_last);
      __m128i delta_finals = final_bytes;
      __m128i delta_leads = paired_leads;
      uint32_t sum = 0;
      uint64_t emitted = 0;
      if ((tag_bit1 & ((1u << cut) - 1)) != 0) {
        // Finals of tag 2 (tag 3 is cut off above) and their leads. Each
        // run's entries: bits 3..6 of its final + 1 + 16 * its lead; those
        // with bit 2 set (g odd) add 1 per entry.
        const __m128i run_finals = _mm_and_si128(_mm_cmplt_epi8(bit1, zero), final_bytes);
        const __m128i run_leads = _mm_and_si128(_mm_srli_si128(run_finals, 1), paired_leads);
        delta_finals = _mm_andnot_si128(run_finals, final_bytes);
        delta_leads = _mm_andnot_si128(run_leads, paired_leads);
        const __m128i odd_finals = _mm_and_si128(_mm_cmplt_epi8(_mm_slli_epi16(x, 5), zero), run_finals);
        const __m128i odd_leads = _mm_and_si128(_mm_srli_si128(odd_finals, 1), run_leads);
        const __m128i lengths = _mm_and_si128(_mm_and_si128(_mm_srli_epi16(x, 3), low4), run_finals);
        const __m128i run_lead_bits = _mm_and_si128(_mm_and_si128(x, low7), run_leads);
        const __m128i all = _mm_add_epi64(
            _mm_add_epi64(_mm_sad_epu8(lengths, zero), _mm_sad_epu8(_mm_and_si128(run_finals, ones), zero)),
            _mm_slli_epi64(_mm_sad_epu8(run_lead_bits, zero), 4));
        const __m128i odd = _mm_add_epi64(
            _mm_add_epi64(_mm_sad_epu8(_mm_and_si128(lengths, odd_finals), zero),
                          _mm_sad_epu8(_mm_and_si128(odd_finals, ones), zero)),
            _mm_slli_epi64(_mm_sad_epu8(_mm_and_si128(run_lead_bits, odd_leads), zero), 4));
        emitted = lanes(all);
        sum = lanes(odd);
      }
      const __m128i down_finals = _mm_and_si128(_mm_cmplt_epi8(bit0, zero), delta_finals);
      const __m128i down_leads = _mm_and_si128(_mm_srli_si128(down_finals, 1), delta_leads);
      const __m128i finals = _mm_and_si128(_mm_and_si128(_mm_srli_epi16(x, 2), low5), delta_finals);
      const __m128i lead_bits = _mm_and_si128(_mm_and_si128(x, low7), delta_leads);
      const __m128i up = _mm_add_epi64(_mm_sad_epu8(_mm_andnot_si128(down_finals, finals), zero),
                                       _mm_slli_epi64(_mm_sad_epu8(_mm_andnot_si128(down_leads, lead_bits), zero), 5));
      const __m128i down = _mm_add_epi64(_mm_sad_epu8(_mm_and_si128(down_finals, finals), zero),
                                         _mm_slli_epi64(_mm_sad_epu8(_mm_and_si128(down_leads, lead_bits), zero), 5));
      sum += lanes(_mm_sub_epi64(up, down));
      emitted += lanes(_mm_sad_epu8(_mm_and_si128(delta_finals, ones), zero));
      w.addCarried(p[0], &sum, &emitted);  // byte 0 is the carried lead's final
      if (emitted > allowed - w.n) {
        runs_alone = true;  // take this vector again, its runs one at a time
        continue;
      }
      w.took(p, stops, leads, sum, emitted);
    }
    runs_alone = false;
    if (cut == 16) {
      w.passed(p + 15);
      p += 16;
      continue;
    }
    // A code of another kind starts at `cut` (at the carried lead when
    // nothing before it was taken): read it on its own and go on after it.
    p = (cut == 0 && w.carrying) ? p - 1 : p + cut;
    if (!w.takeOther(&p, limit, allowed)) break;
  }
  return w.finish(p, value, step, codes);
}
#endif

#if defined(CORVDB_X86_AVX2)
// SkipShortCodesSse2 thirty-two bytes at a time, for processors with AVX2
// (chosen at run time: see SkipShortCodesFast). The same sums; a mask is moved
// from each final byte to the lead before it across the two halves of the
// vector with a lane permute.
namespace avx2 {
__attribute__((target("avx2"))) inline __m256i NextByte(__m256i m) {
  return _mm256_alignr_epi8(_mm256_permute2x128_si256(m, m, 0x81), m, 1);
}
__attribute__((target("avx2"))) inline uint32_t Lanes(__m256i sums) {
  const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(s)) + static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(s, 8)));
}
__attribute__((target("avx2"))) inline __m256i Negative(__m256i x) {
  return _mm256_cmpgt_epi8(_mm256_setzero_si256(), x);
}
__attribute__((target("avx2"))) inline __m256i Sad(__m256i x) { return _mm256_sad_epu8(x, _mm256_setzero_si256()); }
constexpr uint32_t Below(int cut) { return cut >= 32 ? ~0u : (1u << cut) - 1; }
}  // namespace avx2

__attribute__((target("avx2"))) inline const uint8_t* SkipShortCodesAvx2(const uint8_t* p, const uint8_t* limit,
                                                                         uint64_t allowed, uint32_t* value,
                                                                         uint32_t* step, uint64_t* codes) {
  using namespace avx2;
  const __m256i low4 = _mm256_set1_epi8(0x0F);
  const __m256i low5 = _mm256_set1_epi8(0x1F);
  const __m256i low7 = _mm256_set1_epi8(0x7F);
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i positions = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                                             20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m256i not_last = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0);
  ShortCodeWalk w;
  w.v = *value;
  w.lastStep = *step;
  // A vector whose runs would emit more entries than allowed is taken again
  // with its runs read one at a time.
  bool runs_alone = false;
  while (allowed - w.n >= 32 && limit - p >= 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    uint32_t stops = static_cast<uint32_t>(_mm256_movemask_epi8(x));
    uint32_t leads = ~stops;
    const __m256i bit1 = _mm256_slli_epi16(x, 6);
    const __m256i bit0 = _mm256_slli_epi16(x, 7);
    const uint32_t tag_bit1 = static_cast<uint32_t>(_mm256_movemask_epi8(bit1)) & stops;
    const uint32_t tag_bit0 = static_cast<uint32_t>(_mm256_movemask_epi8(bit0));
    const uint32_t runs = runs_alone ? tag_bit1 : tag_bit1 & tag_bit0;
    const uint32_t bad = runs | (leads & (leads >> 1)) | (w.carrying ? leads & 1u : 0u);
    int cut = 32;
    __m256i taken = _mm256_set1_epi8(-1);
    if (bad != 0) {
      const int b = std::countr_zero(bad);
      cut = (b > 0 && ((leads >> (b - 1)) & 1u) != 0) ? b - 1 : b;
      stops &= Below(cut);
      leads &= Below(cut);
      taken = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(cut)), positions);
    }
    if (cut > 0) {
      const __m256i final_bytes = _mm256_and_si256(Negative(x), taken);
      const __m256i paired_leads = _mm256_and_si256(_mm256_andnot_si256(final_bytes, taken), not_last);
      __m256i delta_finals = final_bytes;
      __m256i delta_leads = paired_leads;
      uint32_t sum = 0;
      uint64_t emitted = 0;
      if ((tag_bit1 & Below(cut)) != 0) {
        const __m256i run_finals = _mm256_and_si256(Negative(bit1), final_bytes);
        const __m256i run_leads = _mm256_and_si256(NextByte(run_finals), paired_leads);
        delta_finals = _mm256_andnot_si256(run_finals, final_bytes);
        delta_leads = _mm256_andnot_si256(run_leads, paired_leads);
        const __m256i odd_finals = _mm256_and_si256(Negative(_mm256_slli_epi16(x, 5)), run_finals);
        const __m256i odd_leads = _mm256_and_si256(NextByte(odd_finals), run_leads);
        const __m256i lengths = _mm256_and_si256(_mm256_and_si256(_mm256_srli_epi16(x, 3), low4), run_finals);
        const __m256i run_lead_bits = _mm256_and_si256(_mm256_and_si256(x, low7), run_leads);
        const __m256i all = _mm256_add_epi64(_mm256_add_epi64(Sad(lengths), Sad(_mm256_and_si256(run_finals, ones))),
                                             _mm256_slli_epi64(Sad(run_lead_bits), 4));
        const __m256i odd = _mm256_add_epi64(
            _mm256_add_epi64(Sad(_mm256_and_si256(lengths, odd_finals)), Sad(_mm256_and_si256(odd_finals, ones))),
            _mm256_slli_epi64(Sad(_mm256_and_si256(run_lead_bits, odd_leads)), 4));
        emitted = Lanes(all);
        sum = Lanes(odd);
      }
      const __m256i down_finals = _mm256_and_si256(Negative(bit0), delta_finals);
      const __m256i down_leads = _mm256_and_si256(NextByte(down_finals), delta_leads);
      const __m256i finals = _mm256_and_si256(_mm256_and_si256(_mm256_srli_epi16(x, 2), low5), delta_finals);
      const __m256i lead_bits = _mm256_and_si256(_mm256_and_si256(x, low7), delta_leads);
      const __m256i up = _mm256_add_epi64(Sad(_mm256_andnot_si256(down_finals, finals)),
                                          _mm256_slli_epi64(Sad(_mm256_andnot_si256(down_leads, lead_bits)), 5));
      const __m256i down = _mm256_add_epi64(Sad(_mm256_and_si256(down_finals, finals)),
                                            _mm256_slli_epi64(Sad(_mm256_and_si256(down_leads, lead_bits)), 5));
      sum += Lanes(_mm256_sub_epi64(up, down));
      emitted += Lanes(Sad(_mm256_and_si256(delta_finals, ones)));
      w.addCarried(p[0], &sum, &emitted);  // byte 0 is the carried lead's final
      if (emitted > allowed - w.n) {
        runs_alone = true;
        continue;
      }
      w.took(p, stops, leads, sum, emitted);
    }
    runs_alone = false;
    if (cut == 32) {
      w.passed(p + 31);
      p += 32;
      continue;
    }
    p = (cut == 0 && w.carrying) ? p - 1 : p + cut;
    if (!w.takeOther(&p, limit, allowed)) break;
  }
  p = w.finish(p, value, step, codes);
  // Fewer than 32 bytes or entries left: the rest sixteen at a time.
  if (allowed - *codes >= 16 && limit - p >= 16) {
    uint64_t more = 0;
    p = SkipShortCodesSse2(p, limit, allowed - *codes, value, step, &more);
    *codes += more;
  }
  return p;
}

#endif

// Decodes the next codes into `out` when they are one-byte deltas (tags 0
// and 1): sixteen at a time with SSE2, else eight. Returns how many were
// decoded (0 when the next codes are not all such, or too few bytes remain);
// `out` must have room for sixteen. *value and *step follow the codes.
template <class Reader>
inline std::size_t DecodeSingleByteDeltas(Reader& codes, uint32_t* value, uint32_t* step, int32_t* out) {
#if defined(__SSE2__)
  const uint8_t* p = codes.position();
  if (codes.remaining() >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (_mm_movemask_epi8(x) == 0xFFFF && _mm_movemask_epi8(_mm_slli_epi16(x, 6)) == 0) {
      const __m128i zero = _mm_setzero_si128();
      const __m128i g = _mm_and_si128(_mm_srli_epi16(x, 2), _mm_set1_epi8(0x1F));
      const __m128i negative = _mm_cmplt_epi8(_mm_slli_epi16(x, 7), zero);
      const __m128i d = _mm_sub_epi8(_mm_xor_si128(g, negative), negative);  // signed deltas, -31..31
      const __m128i sign = _mm_cmplt_epi8(d, zero);
      __m128i lo = _mm_unpacklo_epi8(d, sign);
      __m128i hi = _mm_unpackhi_epi8(d, sign);
      // Running sums within each half (at most 16 * 31 in size), then across.
      lo = _mm_add_epi16(lo, _mm_slli_si128(lo, 2));
      lo = _mm_add_epi16(lo, _mm_slli_si128(lo, 4));
      lo = _mm_add_epi16(lo, _mm_slli_si128(lo, 8));
      hi = _mm_add_epi16(hi, _mm_slli_si128(hi, 2));
      hi = _mm_add_epi16(hi, _mm_slli_si128(hi, 4));
      hi = _mm_add_epi16(hi, _mm_slli_si128(hi, 8));
      hi = _mm_add_epi16(hi, _mm_set1_epi16(static_cast<int16_t>(_mm_extract_epi16(lo, 7))));
      const __m128i base = _mm_set1_epi32(static_cast<int32_t>(*value));
      const __m128i lo_sign = _mm_srai_epi16(lo, 15);
      const __m128i hi_sign = _mm_srai_epi16(hi, 15);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi32(base, _mm_unpacklo_epi16(lo, lo_sign)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_add_epi32(base, _mm_unpackhi_epi16(lo, lo_sign)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_add_epi32(base, _mm_unpacklo_epi16(hi, hi_sign)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm_add_epi32(base, _mm_unpackhi_epi16(hi, hi_sign)));
      *value = static_cast<uint32_t>(out[15]);
      const uint32_t c = p[15] & 0x7Fu;
      *step = (c & 1) ? 0u - (c >> 2) : c >> 2;
      codes.skip(16);
      return 16;
    }
  }
#endif
  uint64_t w = 0;
  if (!codes.peekEight(&w) || (w & kHighBits) != kHighBits || (w & kTagTwoBits) != 0) return 0;
  uint32_t v = *value;
  uint32_t s = *step;
  for (int i = 0; i < 8; ++i) {
    const uint32_t c = static_cast<uint32_t>(w >> (8 * i)) & 0x7Fu;
    s = (c & 1) ? 0u - (c >> 2) : c >> 2;
    v += s;
    out[i] = static_cast<int32_t>(v);
  }
  *value = v;
  *step = s;
  codes.skip(8);
  return 8;
}

// The fastest of the two this processor can run.
inline const uint8_t* SkipShortCodesFast(const uint8_t* p, const uint8_t* limit, uint64_t allowed, uint32_t* value,
                                         uint32_t* step, uint64_t* codes) {
#if defined(CORVDB_X86_AVX2)
  if (allowed >= 32 && HasAvx2()) return SkipShortCodesAvx2(p, limit, allowed, value, step, codes);
#endif
#if defined(__SSE2__)
  if (allowed >= 16) return SkipShortCodesSse2(p, limit, allowed, value, step, codes);
#endif
  return SkipShortCodes(p, limit, allowed, value, step, codes);
}

}  // namespace corvdb
