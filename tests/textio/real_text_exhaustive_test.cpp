// Every finite 32-bit real through the real text, against the rounding rules
// applied to its exact digits. Built only with -DLINESYNTH_EXHAUSTIVE_TESTS=ON:
// it takes minutes (both cores).
//
// The reference takes the first 18 significant digits of |x| exactly, as the
// integer Q = floor(|x| * 10^(18 - p)) with 10^17 <= Q < 10^18, from
// m * 2^e * 5^b * 2^b in up to 192 bits, and applies the two roundings to it:
// half up to 17 digits (only digit 18 decides), the form on the point position
// that leaves, then half up to 7 digits. It also applies the single rounding
// of the exact value half up to 7 digits, with the form on the exact point
// position, and counts the reals where the two rules give different texts:
// the real text relies on there being none.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "textio/real_text.h"

#if defined(__SIZEOF_INT128__)

namespace linesynth {
namespace {

__extension__ typedef unsigned __int128 Wide128;

constexpr std::uint64_t ten_pow(int k) {
    std::uint64_t value = 1;
    for (int i = 0; i < k; ++i) {
        value *= 10;
    }
    return value;
}

// An unsigned integer of 192 bits, least significant word first.
struct U192 {
    std::array<std::uint64_t, 3> w{};
};

U192 times(const U192& x, std::uint64_t factor) {
    U192 result;
    Wide128 carry = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const Wide128 product = static_cast<Wide128>(x.w[i]) * factor + carry;
        result.w[i] = static_cast<std::uint64_t>(product);
        carry = product >> 64;
    }
    return result;
}

U192 shifted(const U192& x, int count) {  // left for count > 0, right for count < 0
    U192 result;
    if (count >= 0) {
        const int words = count / 64;
        const int bits = count % 64;
        for (int i = 2; i >= 0; --i) {
            const int from = i - words;
            std::uint64_t value = 0;
            if (from >= 0) {
                value = x.w[static_cast<std::size_t>(from)] << bits;
                if (bits != 0 && from >= 1) {
                    value |= x.w[static_cast<std::size_t>(from - 1)] >> (64 - bits);
                }
            }
            result.w[static_cast<std::size_t>(i)] = value;
        }
    } else {
        const int words = -count / 64;
        const int bits = -count % 64;
        for (int i = 0; i < 3; ++i) {
            const int from = i + words;
            std::uint64_t value = 0;
            if (from <= 2) {
                value = x.w[static_cast<std::size_t>(from)] >> bits;
                if (bits != 0 && from + 1 <= 2) {
                    value |= x.w[static_cast<std::size_t>(from + 1)] << (64 - bits);
                }
            }
            result.w[static_cast<std::size_t>(i)] = value;
        }
    }
    return result;
}

struct Powers {
    std::array<U192, 64> five{};  // 5^0 .. 5^63
    Powers() {
        five[0].w[0] = 1;
        for (std::size_t k = 1; k < five.size(); ++k) {
            five[k] = times(five[k - 1], 5);
        }
    }
};
const Powers powers;

constexpr std::uint64_t q_low = ten_pow(17);
constexpr std::uint64_t q_high = ten_pow(18);

// floor(m * 2^e * 10^(18 - p)), or q_high when that does not fit 64 bits.
std::uint64_t first_digits(std::uint32_t m, int e, int p) {
    const int b = 18 - p;
    const int a = e + b;
    if (b >= 0) {
        const U192 n = shifted(times(powers.five[static_cast<std::size_t>(b)], m), a);
        return n.w[1] != 0 || n.w[2] != 0 ? q_high : n.w[0];
    }
    // |x| >= 10^18: a >= 15 here, and m * 2^a stays below 2^128.
    const Wide128 n = static_cast<Wide128>(m) << a;
    const Wide128 q = n / powers.five[static_cast<std::size_t>(-b)].w[0];
    return q >> 64 != 0 ? q_high : static_cast<std::uint64_t>(q);
}

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The text of 7 digits (10^6 <= digits < 10^7) with point position `point`,
// in the fixed or the exponent form, for a positive value.
std::size_t text_of(std::uint32_t digits, int point, bool fixed, char* out) {
    char d[16];
    for (int i = 6; i >= 0; --i) {
        d[i] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    std::memset(d + 7, '0', 9);
    std::size_t n = 0;
    if (fixed) {
        for (int i = 0; i < point; ++i) {
            out[n++] = d[i];
        }
        out[n++] = '.';
        for (int i = point; i < point + 6; ++i) {
            out[n++] = d[i];
        }
    } else {
        const int exponent = point - 1;
        const int magnitude = exponent < 0 ? -exponent : exponent;
        out[n++] = d[0];
        out[n++] = '.';
        for (int i = 1; i < 7; ++i) {
            out[n++] = d[i];
        }
        out[n++] = 'E';
        out[n++] = exponent < 0 ? '-' : '+';
        out[n++] = digit_pairs[2 * magnitude];
        out[n++] = digit_pairs[2 * magnitude + 1];
    }
    return n;
}

struct Tally {
    std::uint64_t checked = 0;
    std::uint64_t wrong = 0;           // format_real differs from the two-step rule
    std::uint64_t rules_disagree = 0;  // the single rounding differs from the two-step rule
    std::uint32_t first_wrong = 0;     // bits of the first wrong real
    std::uint32_t first_disagree = 0;
};

// The positive finite reals with bits in [from, to).
Tally sweep(std::uint32_t from, std::uint32_t to) {
    Tally tally;
    // A first guess of the point position; the loops below put it right.
    int p =
        static_cast<int>(std::floor(std::log10(static_cast<double>(std::bit_cast<float>(from))))) +
        1;
    char got[real_text_room];
    char two_step[real_text_max];
    char single[real_text_max];
    for (std::uint32_t bits = from; bits < to; ++bits) {
        const std::uint32_t biased = bits >> 23;
        std::uint32_t m = bits & 0x7fffff;
        int e = -149;
        if (biased != 0) {
            m |= 0x800000;
            e = static_cast<int>(biased) - 150;
        }
        std::uint64_t q = first_digits(m, e, p);
        while (q >= q_high) {
            q = first_digits(m, e, ++p);
        }
        while (q < q_low) {
            q = first_digits(m, e, --p);
        }

        // Two roundings: 17 digits, the form, then 7 digits.
        std::uint64_t r17 = q / 10 + (q % 10 >= 5 ? 1 : 0);
        int p17 = p;
        if (r17 == ten_pow(17)) {
            r17 = ten_pow(16);
            ++p17;
        }
        const bool fixed = p17 >= 1 && p17 <= 7;
        auto r7 =
            static_cast<std::uint32_t>(r17 / ten_pow(10) + ((r17 / ten_pow(9)) % 10 >= 5 ? 1 : 0));
        int p7 = p17;
        if (r7 == ten_pow(7)) {
            r7 = static_cast<std::uint32_t>(ten_pow(6));
            ++p7;
        }
        const std::size_t two_step_length = text_of(r7, p7, fixed, two_step);

        // One rounding of the exact value to 7 digits, the form on p.
        auto d7 =
            static_cast<std::uint32_t>(q / ten_pow(11) + ((q / ten_pow(10)) % 10 >= 5 ? 1 : 0));
        int pd = p;
        if (d7 == ten_pow(7)) {
            d7 = static_cast<std::uint32_t>(ten_pow(6));
            ++pd;
        }
        const std::size_t single_length = text_of(d7, pd, p >= 1 && p <= 7, single);
        if (single_length != two_step_length ||
            std::memcmp(single, two_step, two_step_length) != 0) {
            if (tally.rules_disagree++ == 0) {
                tally.first_disagree = bits;
            }
        }

        for (const std::uint32_t sign : {0u, 0x80000000u}) {
            const std::size_t length = format_real(std::bit_cast<float>(bits | sign), got);
            const std::size_t offset = sign != 0 ? 1 : 0;
            const bool same = length == two_step_length + offset && (sign == 0 || got[0] == '-') &&
                              std::memcmp(got + offset, two_step, two_step_length) == 0;
            if (!same && tally.wrong++ == 0) {
                tally.first_wrong = bits | sign;
            }
            ++tally.checked;
        }
    }
    return tally;
}

TEST(RealTextExhaustive, EveryFiniteRealFollowsTheRoundingRules) {
    char out[real_text_room];
    for (const float zero : {0.0f, -0.0f}) {
        EXPECT_EQ(std::string(out, format_real(zero, out)), "0.000000E+00");
    }
    // Bits 1 to 0x7f7fffff: the positive finite reals, both signs each.
    constexpr std::uint32_t end = 0x7f800000;
    const unsigned threads = 2;
    std::vector<Tally> tallies(threads);
    std::vector<std::thread> workers;
    // The first part is larger: its small exponents convert faster.
    const std::uint32_t split = 0x44000000;
    workers.emplace_back([&] { tallies[0] = sweep(1, split); });
    workers.emplace_back([&] { tallies[1] = sweep(split, end); });
    for (auto& worker : workers) {
        worker.join();
    }
    Tally total;
    for (const Tally& tally : tallies) {
        total.checked += tally.checked;
        if (tally.wrong != 0 && total.wrong == 0) {
            total.first_wrong = tally.first_wrong;
        }
        if (tally.rules_disagree != 0 && total.rules_disagree == 0) {
            total.first_disagree = tally.first_disagree;
        }
        total.wrong += tally.wrong;
        total.rules_disagree += tally.rules_disagree;
    }
    EXPECT_EQ(total.checked, 2ull * (end - 1));
    EXPECT_EQ(total.wrong, 0u) << "first: bits 0x" << std::hex << total.first_wrong;
    EXPECT_EQ(total.rules_disagree, 0u) << "first: bits 0x" << std::hex << total.first_disagree;
}

}  // namespace
}  // namespace linesynth

#endif
