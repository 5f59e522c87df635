// A set of small numbers (0 to n-1) as a tree of 64-bit words, for the
// depth sort: insert, erase and "largest member below x" in a few word
// operations each, whatever the set holds, and a walk in order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

class RankSet {
public:
    // Empties the set and sizes it for the numbers 0 to n-1.
    void Reset(size_t n) {
        size_t words = (n + 63) / 64;
        size_t level = 0;
        do {
            if (levels_.size() <= level)
                levels_.emplace_back();
            levels_[level].assign(words == 0 ? 1 : words, 0);
            words = (words + 63) / 64;
            ++level;
        } while (levels_[level - 1].size() > 1);
        depth_ = level;
    }

    void Insert(uint32_t x) {
        size_t at = x;
        for (size_t l = 0; l < depth_; ++l) {
            uint64_t& w = levels_[l][at >> 6];
            const bool wasEmpty = w == 0;
            w |= uint64_t(1) << (at & 63);
            if (!wasEmpty)
                return;
            at >>= 6;
        }
    }

    void Erase(uint32_t x) {
        size_t at = x;
        for (size_t l = 0; l < depth_; ++l) {
            uint64_t& w = levels_[l][at >> 6];
            w &= ~(uint64_t(1) << (at & 63));
            if (w != 0)
                return;
            at >>= 6;
        }
    }

    // The largest member below x, or -1 when there is none.
    int64_t Below(uint32_t x) const {
        size_t at = x;
        for (size_t l = 0; l < depth_; ++l) {
            const uint64_t below = levels_[l][at >> 6] & ((uint64_t(1) << (at & 63)) - 1);
            if (below != 0) {
                at = (at & ~size_t(63)) | size_t(63 - std::countl_zero(below));
                // Down to the highest member of each word found.
                while (l-- > 0)
                    at = (at << 6) | size_t(63 - std::countl_zero(levels_[l][at]));
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
            for (uint64_t bits = levels_[0][w]; bits != 0; bits &= bits - 1)
                f(uint32_t(w * 64 + size_t(std::countr_zero(bits))));
        };
        if (depth_ == 1) {
            word(0);
            return;
        }
        // The second level says which words of the first hold members.
        const std::vector<uint64_t>& words = levels_[1];
        for (size_t i = 0; i < words.size(); ++i)
            for (uint64_t bits = words[i]; bits != 0; bits &= bits - 1)
                word(i * 64 + size_t(std::countr_zero(bits)));
    }

private:
    std::vector<std::vector<uint64_t>> levels_; // [0] the members; above, a bit per non-empty word
    size_t depth_ = 0;
};
