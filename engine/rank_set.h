// A set of small numbers (0 to n-1) as a tree of 64-bit words, for the
// depth sort: insert, erase and "largest member below x" in a few word
// operations each, whatever the set holds, and a walk in order.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

class RankSet {
public:
    // Empties the set and sizes it for the numbers 0 to n-1.
    void Reset(size_t n) {
        size_t words = (n + 63) / 64, total = 0;
        depth_ = 0;
        do {
            words = words == 0 ? 1 : words;
            start_[depth_++] = total;
            total += words;
            words = words > 1 ? (words + 63) / 64 : 0;
        } while (words != 0 && depth_ < kMaxDepth);
        words_.assign(total, 0);
        for (size_t l = 0; l < depth_; ++l)
            level_[l] = words_.data() + start_[l];
    }

    // Without branches: setting a bit that is set already changes nothing,
    // and a level's bit is cleared only when the word below it emptied.
    void Insert(uint32_t x) {
        size_t at = x;
        for (size_t l = 0; l < depth_; ++l, at >>= 6)
            level_[l][at >> 6] |= uint64_t(1) << (at & 63);
    }

    void Erase(uint32_t x) {
        size_t at = x;
        uint64_t emptied = 1;
        for (size_t l = 0; l < depth_; ++l, at >>= 6) {
            uint64_t& w = level_[l][at >> 6];
            w &= ~(emptied << (at & 63));
            emptied = w == 0;
        }
    }

    // The largest member below x, or -1 when there is none.
    int64_t Below(uint32_t x) const {
        size_t at = x;
        for (size_t l = 0; l < depth_; ++l) {
            const uint64_t below = level_[l][at >> 6] & ((uint64_t(1) << (at & 63)) - 1);
            if (below != 0) {
                at = (at & ~size_t(63)) | size_t(63 - std::countl_zero(below));
                // Down to the highest member of each word found.
                while (l-- > 0)
                    at = (at << 6) | size_t(63 - std::countl_zero(level_[l][at]));
                return int64_t(at);
            }
            at >>= 6;
        }
        return -1;
    }

    // Calls f(x) for each member, smallest first.
    template <typename F>
    void ForEach(F f) const {
        auto word = [&](size_t w) {
            for (uint64_t bits = level_[0][w]; bits != 0; bits &= bits - 1)
                f(uint32_t(w * 64 + size_t(std::countr_zero(bits))));
        };
        if (depth_ == 1) {
            word(0);
            return;
        }
        // The second level says which words of the first hold members.
        const size_t words = start_[1] - start_[0];
        for (size_t i = 0; i < (words + 63) / 64; ++i)
            for (uint64_t bits = level_[1][i]; bits != 0; bits &= bits - 1)
                word(i * 64 + size_t(std::countr_zero(bits)));
    }

private:
    // Six levels hold any 32-bit number.
    static constexpr size_t kMaxDepth = 6;
    std::vector<uint64_t> words_;              // the levels one after another
    std::array<size_t, kMaxDepth> start_{};    // where each level starts in words_
    std::array<uint64_t*, kMaxDepth> level_{}; // [0] the members; above, a bit per non-empty word
    size_t depth_ = 0;
};
