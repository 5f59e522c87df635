// aPLib-format packing: a parser over two-byte-prefix hash chains (with
// chains per hash of the first four and eight bytes for longer matches)
// that weighs matches by their exact cost in bits and looks up to three
// bytes ahead before it commits to one; and the "AP32" container around it.
#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>

#include "files/aplib.h"
#include "files/aplib_format.h"
#include "files/crc32.h"
#include "platform/endian.h"
#include "platform/message.h"

namespace {

constexpr uint32_t kChainSize = 0x16800; // recent positions held in the chain ring
constexpr uint32_t kMaxReach = 0x16700;  // farthest offset and longest match
constexpr int kMaxCandidates = 0x100;    // chain entries examined per search
// Look-ahead searches only judge whether to wait; they need fewer candidates.
constexpr int kNextCandidates = 0x10;
constexpr int kLaterCandidates = 0x4;
constexpr uint32_t kPrefixCount = 1u << 16; // heads of the chains at each level
// The bytes each level of chains is keyed on: the two-byte prefix itself,
// then hashes of longer ones. Once a match is found, only candidates that
// share its first bytes can beat it, and the next level holds just those.
constexpr uint32_t kLevelPrefix[] = {2, 4, 8};
constexpr int kLevels = int(std::size(kLevelPrefix));
constexpr int kNoCode = 1 << 24; // the cost of what cannot be coded

struct Match {
    uint32_t offset = 0;
    uint32_t length = 0;
    bool Found() const { return length >= 2; }
};

// What the coding of the next token depends on.
struct CoderState {
    uint32_t lastOffset = 0; // 0: no match yet
    bool afterMatch = false;
};

enum class MatchToken { None, Repeat, Short, Normal };

struct MatchCode {
    MatchToken token = MatchToken::None;
    int bits = kNoCode;
};

int GammaBits(uint32_t v) {
    return 2 * (std::bit_width(v) - 1);
}

// The cheapest token for m in state s, with its exact size in bits.
MatchCode ChooseCode(Match m, CoderState s) {
    MatchCode best;
    auto consider = [&best](MatchToken token, int bits) {
        if (bits < best.bits)
            best = {token, bits};
    };
    if (!s.afterMatch && m.offset == s.lastOffset)
        consider(MatchToken::Repeat, 2 + GammaBits(2) + GammaBits(m.length));
    if (m.offset < aplib::kShortOffsetLimit && m.length <= 3)
        consider(MatchToken::Short, 3 + 8);
    uint32_t bias = aplib::LengthBias(m.offset);
    if (m.length >= bias + 2)
        consider(MatchToken::Normal,
                 2 + GammaBits((m.offset >> 8) + (s.afterMatch ? 2 : 3)) + 8 + GammaBits(m.length - bias));
    return best;
}

int MatchBits(Match m, CoderState s) {
    return ChooseCode(m, s).bits;
}

// Writes data bytes, and control bits into tag bytes that are placed in the
// stream when their first bit is needed and filled from the top down. Past
// the end of dst it only counts, so one check at the end tells overflow.
class BitWriter {
public:
    explicit BitWriter(std::span<uint8_t> dst) : dst_(dst) {}

    void Byte(uint8_t b) {
        if (pos_ < dst_.size())
            dst_[pos_] = b;
        ++pos_;
    }

    void Bit(uint32_t bit) {
        if (free_ == 0) {
            tag_ = pos_;
            Byte(0);
            free_ = 8;
        }
        --free_;
        if (bit && tag_ < dst_.size())
            dst_[tag_] |= uint8_t(1u << free_);
    }

    void Bits(uint32_t value, int count) {
        while (count-- > 0)
            Bit((value >> count) & 1);
    }

    void Gamma(uint32_t v) {
        for (int k = std::bit_width(v) - 2; k >= 0; --k) {
            Bit((v >> k) & 1);
            Bit(k > 0);
        }
    }

    size_t Length() const { return pos_; }
    bool Overflowed() const { return pos_ > dst_.size(); }

private:
    std::span<uint8_t> dst_;
    size_t pos_ = 0;
    size_t tag_ = 0;
    int free_ = 0;
};

class Packer {
public:
    static constexpr size_t kTableSize = kPrefixCount + kChainSize;

    // tables: the heads and the chain ring of each level in turn.
    Packer(std::span<const uint8_t> src, std::span<uint8_t> dst, uint32_t* tables)
        : src_(src.data()), size_(uint32_t(src.size())), out_(dst) {
        for (int level = 0; level < kLevels; ++level) {
            heads_[level] = tables;
            chains_[level] = tables + kPrefixCount;
            tables += kTableSize;
        }
    }

    std::optional<size_t> Run() {
        for (uint32_t* heads : heads_)
            std::fill_n(heads, kPrefixCount, 0);
        out_.Byte(src_[0]);
        uint32_t p = 1;
        while (p + 1 < size_) {
            Match m = Find(p, size_ - p, StateAfterRun());
            if (!m.Found()) {
                if (run_.length == 0)
                    EmitLiteral(p);
                else
                    AddToRun(p, m);
                ++p;
            } else if (ShouldDefer(p, m)) {
                AddToRun(p, m);
                ++p;
            } else {
                FlushRun(m);
                EmitMatch(p, m);
                p += m.length;
            }
        }
        FlushRun({});
        EmitLiterals(p, size_ - p);
        out_.Bits(0b110, 3);
        out_.Byte(0);
        if (out_.Overflowed())
            return std::nullopt;
        return out_.Length();
    }

private:
    // Bytes waiting to be written as literals, and the match that was found
    // (and deferred) at their first byte.
    struct PendingRun {
        uint32_t start = 0;
        uint32_t length = 0;
        Match match;
    };

    // The head index at p for a level: the two bytes themselves, else a
    // hash of the level's four or eight bytes.
    uint32_t Key(int level, uint32_t p) const {
        if (level == 0)
            return uint32_t(src_[p]) << 8 | src_[p + 1];
        uint64_t v = 0;
        if (kLevelPrefix[level] == 4) {
            uint32_t v32;
            std::memcpy(&v32, src_ + p, 4);
            v = v32;
        } else {
            std::memcpy(&v, src_ + p, 8);
        }
        return uint32_t((v * 0x9E3779B97F4A7C15u) >> 48);
    }

    void InsertUpTo(uint32_t p) {
        for (; inserted_ < p; ++inserted_) {
            uint32_t slot = inserted_ % kChainSize;
            for (int level = 0; level < kLevels; ++level) {
                if (inserted_ + kLevelPrefix[level] > size_)
                    break;
                uint32_t& head = heads_[level][Key(level, inserted_)];
                chains_[level][slot] = head;
                head = inserted_ + 1;
            }
        }
    }

    uint32_t CommonLength(uint32_t a, uint32_t b, uint32_t limit) const {
        uint32_t n = 0;
        if constexpr (std::endian::native == std::endian::little) {
            while (limit - n >= 8) {
                uint64_t x, y;
                std::memcpy(&x, src_ + a + n, 8);
                std::memcpy(&y, src_ + b + n, 8);
                if (x != y)
                    return n + uint32_t(std::countr_zero(x ^ y)) / 8;
                n += 8;
            }
        }
        while (n < limit && src_[a + n] == src_[b + n])
            ++n;
        return n;
    }

    // Whether the bytes at a and b can agree beyond length: their byte at
    // length and the few before it must.
    bool MayBeLonger(uint32_t a, uint32_t b, uint32_t length) const {
        if (src_[a + length] != src_[b + length])
            return false;
        if (length < 4)
            return true;
        uint32_t x, y;
        std::memcpy(&x, src_ + a + length - 3, 4);
        std::memcpy(&y, src_ + b + length - 3, 4);
        return x == y;
    }

    // Deferring a match searches at p + 1 with the state the next step will
    // have, so the last search is remembered and stands for that step's own.
    Match Find(uint32_t p, uint32_t maxLength, CoderState s, int budget = kMaxCandidates) {
        if (last_.p != p || last_.maxLength != maxLength || last_.state.lastOffset != s.lastOffset ||
            last_.state.afterMatch != s.afterMatch)
            last_ = {p, maxLength, s, FindUncached(p, maxLength, s, budget)};
        return last_.result;
    }

    // The best match for position p of at most maxLength bytes, judged by
    // its length against its cost in state s. Candidates come newest first
    // from the chain of p's two-byte prefix; most fail the cheap test of the
    // bytes that would make them longer than the best so far.
    Match FindUncached(uint32_t p, uint32_t maxLength, CoderState s, int budget) {
        InsertUpTo(p);
        maxLength = std::min(maxLength, kMaxReach);
        if (maxLength < 2)
            return {};
        const uint32_t window = std::min(p, kMaxReach);
        Match best;
        int bestBits = kNoCode;
        uint32_t bestPos = 0;
        int level = 0;
        const uint32_t* chain = chains_[0];
        for (uint32_t entry = heads_[0][Key(0, p)]; entry != 0;) {
            uint32_t c = entry - 1;
            if (c < p) {
                if (p - c > window || budget-- == 0)
                    break;
            }
            entry = chain[c % kChainSize];
            if (c >= p)
                continue; // inserted ahead by a look-ahead search
            if (level + 1 < kLevels && best.length >= kLevelPrefix[level + 1]) {
                // Go on along the chain of the best match's longer prefix, from c on.
                chain = chains_[++level];
                entry = chain[bestPos % kChainSize];
                while (entry != 0 && entry - 1 > c)
                    entry = chain[(entry - 1) % kChainSize];
                ++budget;
                continue;
            }
            Match m{p - c, 0};
            bool atLast = m.offset == s.lastOffset;
            if (best.Found() && !atLast && !MayBeLonger(c, p, best.length))
                continue;
            // Measured from the first byte: the long chains are hashed.
            m.length = CommonLength(c, p, maxLength);
            int bits = m.Found() ? MatchBits(m, s) : kNoCode;
            if (bits == kNoCode)
                continue;
            bool take = !best.Found() || m.length == maxLength ||
                        (m.length > best.length &&
                         13 * int64_t(m.length) > 13 * int64_t(best.length) + 2 * int64_t(bits - bestBits)) ||
                        (atLast && 6 * int64_t(m.length) + (bestBits - bits) >= 6 * int64_t(best.length));
            if (take) {
                best = m;
                bestBits = bits;
                bestPos = c;
                if (m.length == maxLength)
                    break;
            }
        }
        return best;
    }

    // The state the next token meets once the pending run is written as literals.
    CoderState StateAfterRun() const { return run_.length ? CoderState{state_.lastOffset, false} : state_; }

    int LiteralBits(uint32_t pos) const { return src_[pos] == 0 || FarthestCopy(pos) ? 3 + 4 : 1 + 8; }

    // The farthest of the previous 15 bytes equal to the byte at pos; 0 when none.
    uint32_t FarthestCopy(uint32_t pos) const {
        for (uint32_t k = std::min(pos, aplib::kNearOffsetLimit - 1); k > 0; --k)
            if (src_[pos - k] == src_[pos])
                return k;
        return 0;
    }

    // Whether the bytes at pos cost more than bits as literals.
    bool LiteralsCostMore(uint32_t pos, uint32_t length, int bits) const {
        if (int64_t(7) * length > bits)
            return true;
        int sum = 0;
        for (uint32_t k = 0; k < length && sum <= bits; ++k)
            sum += LiteralBits(pos + k);
        return sum > bits;
    }

    // Lazy evaluation: whether a literal now and a match found one to three
    // bytes later promise more than m. The weights turn bits into bytes.
    bool ShouldDefer(uint32_t p, Match m) {
        CoderState s = StateAfterRun();
        int bits = MatchBits(m, s);
        // A repeated offset is cheap enough to take at once, unless the run
        // before it would rather become a match of its own.
        if (!s.afterMatch && m.offset == s.lastOffset && !RunMatchPaysOff())
            return false;
        CoderState afterLiteral{s.lastOffset, false};
        for (uint32_t k = 1; k <= 3; ++k) {
            if ((k > 1 && m.length <= k) || p + k + 1 >= size_)
                break;
            Match next =
                Find(p + k, size_ - p - k, afterLiteral, k == 1 ? kNextCandidates : kLaterCandidates);
            if (!next.Found())
                continue;
            int nextBits = MatchBits(next, afterLiteral);
            bool fartherOrSame = next.offset >= m.offset;
            int num = k == 1 ? (fartherOrSame ? 2 : 1) : (fartherOrSame ? 1 : 2);
            int den = k == 1 ? (fartherOrSame ? 9 : 4) : (fartherOrSame ? 4 : 11);
            bool defer =
                int64_t(m.length) * den < int64_t(next.length) * den + int64_t(bits - nextBits) * num;
            if (k == 1) {
                if (run_.length > 0 && next.length >= m.length && nextBits < bits)
                    defer = true;
                if (defer && run_.length == 0 && next.length < m.length &&
                    LiteralBits(p) + nextBits + 1 > bits)
                    defer = false;
            }
            if (defer)
                return true;
        }
        return false;
    }

    bool RunMatchPaysOff() const {
        if (run_.length < 2 || run_.match.length < run_.length || run_.match.offset == state_.lastOffset)
            return false;
        int bits = MatchBits({run_.match.offset, run_.length}, state_);
        return bits != kNoCode && LiteralsCostMore(run_.start, run_.length, bits);
    }

    void AddToRun(uint32_t p, Match m) {
        if (run_.length == 0)
            run_ = {p, 0, m};
        ++run_.length;
        // Once the run is as long as its first byte's match, that match may
        // cover it for less than the literals.
        if (run_.match.Found() && run_.length == run_.match.length) {
            if (std::optional<Match> whole = RunAsMatch()) {
                EmitMatch(run_.start, *whole);
                run_ = {};
            }
        }
    }

    // The cheapest single match covering exactly the pending run, when it
    // costs fewer bits than the run's literals.
    std::optional<Match> RunAsMatch() {
        Match best;
        int bestBits = kNoCode;
        auto consider = [&](Match m) {
            int bits = MatchBits(m, state_);
            if (bits < bestBits) {
                best = m;
                bestBits = bits;
            }
        };
        if (run_.match.length >= run_.length)
            consider({run_.match.offset, run_.length});
        Match found = Find(run_.start, run_.length, state_);
        if (found.length == run_.length)
            consider(found);
        if (bestBits == kNoCode || !LiteralsCostMore(run_.start, run_.length, bestBits))
            return std::nullopt;
        return best;
    }

    // Writes the pending run before match next (none at the end).
    void FlushRun(Match next) {
        if (run_.length == 0)
            return;
        std::optional<Match> whole;
        if (run_.length > 1)
            whole = RunAsMatch();
        if (whole && next.Found() && next.offset == state_.lastOffset) {
            // As a match the run would take next's repeated offset away.
            int asMatch = MatchBits(*whole, state_) + MatchBits(next, {whole->offset, true});
            int asLiterals = MatchBits(next, {state_.lastOffset, false});
            if (!LiteralsCostMore(run_.start, run_.length, asMatch - asLiterals))
                whole.reset();
        }
        if (whole)
            EmitMatch(run_.start, *whole);
        else
            EmitLiterals(run_.start, run_.length);
        run_ = {};
    }

    void EmitLiteral(uint32_t pos) {
        uint8_t byte = src_[pos];
        uint32_t near = byte == 0 ? 0 : FarthestCopy(pos);
        if (byte == 0 || near != 0) {
            out_.Bits(0b111, 3);
            out_.Bits(near, 4);
        } else {
            out_.Bit(0);
            out_.Byte(byte);
        }
        state_.afterMatch = false;
    }

    void EmitLiterals(uint32_t pos, uint32_t count) {
        for (uint32_t k = 0; k < count; ++k)
            EmitLiteral(pos + k);
    }

    // Writes m at pos in its cheapest token, or its bytes as literals when
    // those cost fewer bits; so no byte ever costs more than a literal.
    void EmitMatch(uint32_t pos, Match m) {
        MatchCode code = ChooseCode(m, state_);
        if (code.token == MatchToken::None || !LiteralsCostMore(pos, m.length, code.bits - 1)) {
            EmitLiterals(pos, m.length);
            return;
        }
        switch (code.token) {
        case MatchToken::Repeat:
            out_.Bits(0b10, 2);
            out_.Gamma(2);
            out_.Gamma(m.length);
            break;
        case MatchToken::Short:
            out_.Bits(0b110, 3);
            out_.Byte(uint8_t(m.offset << 1 | (m.length - 2)));
            state_.lastOffset = m.offset;
            break;
        case MatchToken::Normal:
            out_.Bits(0b10, 2);
            out_.Gamma((m.offset >> 8) + (state_.afterMatch ? 2 : 3));
            out_.Byte(uint8_t(m.offset));
            out_.Gamma(m.length - aplib::LengthBias(m.offset));
            state_.lastOffset = m.offset;
            break;
        case MatchToken::None:
            break;
        }
        state_.afterMatch = true;
    }

    const uint8_t* src_;
    uint32_t size_;
    BitWriter out_;
    uint32_t* heads_[kLevels];
    uint32_t* chains_[kLevels];
    uint32_t inserted_ = 0;
    CoderState state_;
    PendingRun run_;
    struct {
        uint32_t p = 0;
        uint32_t maxLength = 0;
        CoderState state;
        Match result;
    } last_;
};

} // namespace

std::optional<size_t> AplibPack(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    if (src.empty())
        return 0;
    if (src.size() > UINT32_MAX - kMaxReach)
        return std::nullopt;
    std::unique_ptr<uint32_t[]> tables(new (std::nothrow) uint32_t[kLevels * Packer::kTableSize]);
    if (!tables) {
        plat::ShowMessage("", "Error new memory");
        return std::nullopt;
    }
    return Packer(src, dst, tables.get()).Run();
}

std::optional<size_t> AplibPackContainer(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    if (dst.size() < kAplibContainerHeaderSize || src.size() > UINT32_MAX)
        return std::nullopt;
    std::span<uint8_t> body = dst.subspan(kAplibContainerHeaderSize);
    std::optional<size_t> packed = AplibPack(src, body);
    if (!packed || *packed > UINT32_MAX)
        return std::nullopt;
    uint8_t* h = dst.data();
    plat::StoreLE32(h, kAplibContainerTag);
    plat::StoreLE32(h + 4, uint32_t(kAplibContainerHeaderSize));
    plat::StoreLE32(h + 8, uint32_t(*packed));
    plat::StoreLE32(h + 12, Crc32(body.first(*packed)));
    plat::StoreLE32(h + 16, uint32_t(src.size()));
    plat::StoreLE32(h + 20, Crc32(src));
    return kAplibContainerHeaderSize + *packed;
}
