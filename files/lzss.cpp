#include "files/lzss.h"

#include <cstring>
#include <memory>

namespace {

constexpr int kWindow = 4096;               // ring size; positions are 12 bits
constexpr int kMaxMatch = 18;               // longest match
constexpr int kThreshold = 2;               // matches this short are sent as literals
constexpr int kNil = kWindow;               // no node
constexpr int kStart = kWindow - kMaxMatch; // ring position of the first input byte
constexpr uint8_t kFill = ' ';              // initial ring contents before kStart

// Encoder state: the ring with a mirror of its first kMaxMatch - 1 bytes
// behind its end (so that comparisons never wrap), and one binary search
// tree of ring positions per first byte. Entries kWindow + 1 ... + 256 of
// right_ are the tree roots. Ring bytes past kStart that no input reached
// yet are zero.
struct EncoderState {
    uint8_t ring[kWindow + kMaxMatch - 1] = {};
    int left[kWindow + 1];
    int right[kWindow + 257];
    int parent[kWindow + 1];
    int matchPosition = 0;
    int matchLength = 0;

    EncoderState() {
        std::memset(ring, kFill, kStart);
        for (int i = kWindow + 1; i <= kWindow + 256; ++i)
            right[i] = kNil;
        for (int i = 0; i <= kWindow; ++i)
            parent[i] = kNil;
    }

    // Adds position r to the tree of its first byte and records the longest
    // match among the nodes passed on the way. A node that matches all
    // kMaxMatch bytes is replaced by r, the newer position.
    void Insert(int r) {
        const uint8_t* key = &ring[r];
        int p = kWindow + 1 + key[0];
        int cmp = 1;
        left[r] = right[r] = kNil;
        matchLength = 0;
        for (;;) {
            int& child = cmp >= 0 ? right[p] : left[p];
            if (child == kNil) {
                child = r;
                parent[r] = p;
                return;
            }
            p = child;
            int i = 1;
            for (; i < kMaxMatch; ++i) {
                cmp = key[i] - ring[p + i];
                if (cmp != 0)
                    break;
            }
            if (i > matchLength) {
                matchPosition = p;
                matchLength = i;
                if (i >= kMaxMatch)
                    break;
            }
        }
        parent[r] = parent[p];
        left[r] = left[p];
        right[r] = right[p];
        parent[left[p]] = r;
        parent[right[p]] = r;
        ReplaceChild(p, r);
        parent[p] = kNil;
    }

    void Delete(int p) {
        if (parent[p] == kNil)
            return;
        int q;
        if (right[p] == kNil) {
            q = left[p];
        } else if (left[p] == kNil) {
            q = right[p];
        } else {
            q = left[p];
            if (right[q] != kNil) {
                do
                    q = right[q];
                while (right[q] != kNil);
                right[parent[q]] = left[q];
                parent[left[q]] = parent[q];
                left[q] = left[p];
                parent[left[p]] = q;
            }
            right[q] = right[p];
            parent[right[p]] = q;
        }
        parent[q] = parent[p];
        ReplaceChild(p, q);
        parent[p] = kNil;
    }

    // Points p's parent at q instead of p. Roots only ever have right children.
    void ReplaceChild(int p, int q) {
        int up = parent[p];
        if (right[up] == p)
            right[up] = q;
        else
            left[up] = q;
    }
};

// Collects one flag byte and up to eight items before they are written.
class GroupWriter {
public:
    explicit GroupWriter(std::span<uint8_t> dst) : dst_(dst) {}

    void Literal(uint8_t byte) {
        group_[0] |= mask_;
        group_[used_++] = byte;
        Next();
    }

    void Match(int position, int length) {
        group_[used_++] = uint8_t(position);
        group_[used_++] = uint8_t(((position >> 4) & 0xF0) | (length - (kThreshold + 1)));
        Next();
    }

    // Writes the last, partly filled group; the stream length, or nothing
    // when dst ran out of room.
    std::optional<size_t> Finish() {
        if (used_ > 1)
            Flush();
        if (overflow_)
            return std::nullopt;
        return written_;
    }

private:
    void Next() {
        mask_ = uint8_t(mask_ << 1);
        if (mask_ == 0) {
            Flush();
            group_[0] = 0;
            used_ = 1;
            mask_ = 1;
        }
    }

    void Flush() {
        if (overflow_ || dst_.size() - written_ < used_) {
            overflow_ = true;
            return;
        }
        std::memcpy(dst_.data() + written_, group_, used_);
        written_ += used_;
    }

    std::span<uint8_t> dst_;
    size_t written_ = 0;
    uint8_t group_[1 + 2 * 8] = {};
    size_t used_ = 1;
    uint8_t mask_ = 1;
    bool overflow_ = false;
};

} // namespace

std::optional<size_t> LzssEncode(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    if (src.empty())
        return 0;
    auto state = std::make_unique<EncoderState>();
    EncoderState& st = *state;
    GroupWriter out(dst);
    const uint8_t* in = src.data();
    const uint8_t* const inEnd = in + src.size();

    int len = 0;
    while (len < kMaxMatch && in < inEnd)
        st.ring[kStart + len++] = *in++;
    int s = 0;
    int r = kStart;
    // The positions just before r hold fill bytes; inserting them from the
    // nearest down lets the first input match against the fill.
    for (int i = 1; i <= kMaxMatch; ++i)
        st.Insert(r - i);
    st.Insert(r);

    while (len > 0) {
        if (st.matchLength > len)
            st.matchLength = len;
        if (st.matchLength <= kThreshold) {
            st.matchLength = 1;
            out.Literal(st.ring[r]);
        } else {
            out.Match(st.matchPosition, st.matchLength);
        }
        int last = st.matchLength;
        int i = 0;
        for (; i < last && in < inEnd; ++i) {
            st.Delete(s);
            uint8_t c = *in++;
            st.ring[s] = c;
            if (s < kMaxMatch - 1)
                st.ring[s + kWindow] = c;
            s = (s + 1) & (kWindow - 1);
            r = (r + 1) & (kWindow - 1);
            st.Insert(r);
        }
        // Past the end of the input the window only drains.
        for (; i < last; ++i) {
            st.Delete(s);
            s = (s + 1) & (kWindow - 1);
            r = (r + 1) & (kWindow - 1);
            if (--len)
                st.Insert(r);
        }
    }
    return out.Finish();
}

std::optional<size_t> LzssDecode(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    const uint8_t* in = src.data();
    const uint8_t* const inEnd = in + src.size();
    uint8_t* const base = dst.data();
    const size_t capacity = dst.size();
    size_t out = 0;
    unsigned flags = 0;
    for (;;) {
        flags >>= 1;
        if (!(flags & 0x100)) {
            if (in == inEnd)
                break;
            flags = *in++ | 0xFF00u;
        }
        if (in == inEnd)
            break;
        if (flags & 1) {
            if (out == capacity)
                return std::nullopt;
            base[out++] = *in++;
            continue;
        }
        if (inEnd - in < 2)
            return std::nullopt;
        unsigned position = in[0] | ((in[1] & 0xF0u) << 4);
        size_t length = (in[1] & 0x0Fu) + kThreshold + 1;
        in += 2;
        if (capacity - out < length)
            return std::nullopt;
        // The encoder's ring holds the last 4096 output bytes, output byte k
        // at ring position (kStart + k) mod 4096; a ring position therefore
        // names a distance back from the byte being written.
        size_t distance = ((kStart + out - position) & (kWindow - 1));
        if (distance == 0)
            distance = kWindow;
        uint8_t* to = base + out;
        if (distance <= out) {
            const uint8_t* from = to - distance;
            if (distance >= length)
                std::memcpy(to, from, length);
            else
                for (size_t k = 0; k < length; ++k)
                    to[k] = from[k];
        } else {
            // Reaches before the first output byte: the ring's initial
            // contents, fill bytes at positions below kStart and zero above.
            for (size_t k = 0; k < length; ++k) {
                ptrdiff_t at = ptrdiff_t(out + k) - ptrdiff_t(distance);
                to[k] = at >= 0 ? base[at] : at >= -kStart ? kFill : 0;
            }
        }
        out += length;
    }
    return out;
}
