#pragma once
// A row of bits in W 64-bit words (bit t in word t / 64), with the shifts,
// sums and run searches that let the keep step try a whole ray of cells in
// a few word operations.

#include <algorithm>
#include <bit>
#include <cstdint>

// Cells of one ray, one bit each in ray order: W words.
template <int W>
struct WordBits {
    static constexpr int kWords = W;
    std::uint64_t w[W] = {};

    bool any() const
    {
        std::uint64_t a = 0;
        for (int i = 0; i < W; ++i)
            a |= w[i];
        return a != 0;
    }
    int count() const
    {
        int c = 0;
        for (int i = 0; i < W; ++i)
            c += std::popcount(w[i]);
        return c;
    }
    WordBits operator&(const WordBits& o) const
    {
        WordBits r;
        for (int i = 0; i < W; ++i)
            r.w[i] = w[i] & o.w[i];
        return r;
    }
    WordBits operator|(const WordBits& o) const
    {
        WordBits r;
        for (int i = 0; i < W; ++i)
            r.w[i] = w[i] | o.w[i];
        return r;
    }
    WordBits operator^(const WordBits& o) const
    {
        WordBits r;
        for (int i = 0; i < W; ++i)
            r.w[i] = w[i] ^ o.w[i];
        return r;
    }
    WordBits operator~() const
    {
        WordBits r;
        for (int i = 0; i < W; ++i)
            r.w[i] = ~w[i];
        return r;
    }
    // Bit t + 1 from bit t, and bit t from bit t + d.
    WordBits up() const
    {
        WordBits r;
        r.w[0] = w[0] << 1;
        for (int i = 1; i < W; ++i)
            r.w[i] = w[i] << 1 | w[i - 1] >> 63;
        return r;
    }
    WordBits down(int d) const
    {
        WordBits r;
        const int words = d / 64, bits = d % 64;
        for (int i = 0; i < W; ++i) {
            const int from = i + words;
            if (from < W)
                r.w[i] = w[from] >> bits;
            if (bits != 0 && from + 1 < W)
                r.w[i] |= w[from + 1] << (64 - bits);
        }
        return r;
    }
    WordBits operator+(const WordBits& o) const
    {
        WordBits r;
        unsigned carry = 0;
        for (int i = 0; i < W; ++i) {
            const std::uint64_t sum = w[i] + o.w[i];
            const unsigned c1 = sum < w[i];
            r.w[i] = sum + carry;
            carry = c1 | (r.w[i] < sum);
        }
        return r;
    }

    // The first n bits.
    static WordBits first(int n)
    {
        WordBits r;
        for (int i = 0; i < W; ++i) {
            const int bits = std::clamp(n - 64 * i, 0, 64);
            r.w[i] = bits == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
        }
        return r;
    }

    // The runs of set bits of `cells` that hold a bit of `seeds` (a subset).
    static WordBits runsWith(const WordBits& cells, const WordBits& seeds)
    {
        // Upward: the carries of cells + seeds run from each run's lowest
        // seed to its top.
        const WordBits upward = (((cells + seeds) ^ cells) | seeds) & cells;
        // Downward, doubling the reach each step: `from` holds the cells
        // that reach a seed within the span, `span` the cells whose next
        // `reach` cells are all in `cells`.
        WordBits from = seeds, span = cells;
        for (int reach = 1; reach < 64 * W && span.any(); reach *= 2) {
            from = from | (span & from.down(reach));
            span = span & span.down(reach);
        }
        return upward | from;
    }

    template <class Visit>
    void forEach(Visit visit) const
    {
        for (int i = 0; i < W; ++i)
            for (std::uint64_t m = w[i]; m != 0; m &= m - 1)
                visit(i * 64 + std::countr_zero(m));
    }
};

template <int W>
void setBit(WordBits<W>& bits, int t, bool on)
{
    const std::uint64_t bit = std::uint64_t(1) << (t % 64);
    bits.w[t / 64] = on ? bits.w[t / 64] | bit : bits.w[t / 64] & ~bit;
}
