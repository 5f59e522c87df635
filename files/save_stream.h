// SaveStream: the byte stream under the chunk stream. A stream either stores
// (writes) or loads (reads); the same Transfer call moves bytes either way.
// Each stream lends the base a window of contiguous bytes (its memory, or
// its file buffer), so that the many small fields of a save are copied
// inline and only a transfer beyond the window reaches the stream itself.
#pragma once

#include "platform/endian.h"

#include <cstdint>
#include <cstring>

inline constexpr int kStreamStore = 1;
inline constexpr int kStreamLoad = 2;

enum class SeekOrigin { Start = 0, Current = 1, End = 2 };

// Copies count bytes between buffers that do not overlap. Most fields of a
// save are a few bytes long: those are copied inline, without a call.
[[gnu::always_inline]] inline void CopyBytes(uint8_t* to, const uint8_t* from, uint32_t count) {
    if (count > 32) {
        std::memcpy(to, from, count);
    } else if (count >= 16) {
        uint8_t head[16], tail[16];
        std::memcpy(head, from, 16);
        std::memcpy(tail, from + count - 16, 16);
        std::memcpy(to, head, 16);
        std::memcpy(to + count - 16, tail, 16);
    } else if (count >= 8) {
        uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + count - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + count - 8, &tail, 8);
    } else if (count >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + count - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + count - 4, &tail, 4);
    } else if (count > 0) {
        to[0] = from[0];
        to[count / 2] = from[count / 2];
        to[count - 1] = from[count - 1];
    }
}

class SaveStream {
public:
    explicit SaveStream(int mode) : mode_(mode) {}
    virtual ~SaveStream() = default;
    SaveStream(const SaveStream&) = delete;
    SaveStream& operator=(const SaveStream&) = delete;

    // Moves count bytes: a storing stream writes them from buffer, a loading
    // stream reads them into it. Returns the bytes moved; fewer only at the
    // end of a loading stream or after a failure.
    [[gnu::always_inline]] uint32_t Transfer(void* buffer, uint32_t count) {
        if (count <= uint32_t(windowEnd_ - cursor_) && count > 0) {
            if (mode_ == kStreamStore)
                CopyBytes(cursor_, static_cast<const uint8_t*>(buffer), count);
            else
                CopyBytes(static_cast<uint8_t*>(buffer), cursor_, count);
            cursor_ += count;
            return count;
        }
        return TransferBeyondWindow(buffer, count);
    }

    // Moves a u32, little-endian in the stream. Returns the bytes moved.
    [[gnu::always_inline]] uint32_t TransferU32(uint32_t& value) {
        if (WindowLeft() >= 4) {
            if (mode_ == kStreamStore)
                plat::StoreLE32(cursor_, value);
            else
                value = plat::LoadLE32(cursor_);
            cursor_ += 4;
            return 4;
        }
        uint8_t bytes[4];
        plat::StoreLE32(bytes, value);
        uint32_t moved = TransferBeyondWindow(bytes, 4);
        if (moved == 4 && mode_ == kStreamLoad)
            value = plat::LoadLE32(bytes);
        return moved;
    }

    // The next count bytes of the window, or null when fewer are left in it.
    // A caller that moves several fields at once reads (loading) or fills
    // (storing) them in place, then passes over them with Advance; a loading
    // stream's bytes are only ever read.
    [[gnu::always_inline]] uint8_t* WindowBytes(uint64_t count) const {
        return count <= WindowLeft() ? cursor_ : nullptr;
    }
    [[gnu::always_inline]] void Advance(uint32_t count) {
        if (count <= WindowLeft())
            cursor_ += count;
    }

    // Writes bytes over ones stored earlier in the window, without moving
    // the position; false when they lie outside it (then seek and transfer).
    bool OverwriteInWindow(uint32_t position, const void* bytes, uint32_t count) {
        if (mode_ != kStreamStore || position < windowPosition_ || position > Position() ||
            count > Position() - position)
            return false;
        CopyBytes(window_ + (position - windowPosition_), static_cast<const uint8_t*>(bytes), count);
        return true;
    }

    // kStreamStore or kStreamLoad.
    int Mode() const { return mode_; }
    uint32_t Position() const { return windowPosition_ + uint32_t(cursor_ - window_); }

    // Moves the position and returns the new one. A loading stream stops at
    // its ends; a storing stream moved past its end fills the gap with zeros.
    // A result other than the target tells that the target was out of reach.
    virtual uint32_t Seek(int64_t distance, SeekOrigin origin) = 0;

    // The stream's length: the bytes to load, or the bytes stored so far.
    virtual uint32_t Size() const = 0;

    // Finishes the stream; a storing stream delivers its bytes to their
    // place. False when this or any earlier step failed. A stream destroyed
    // without Close delivers nothing.
    virtual bool Close() = 0;

protected:
    // Transfer of what does not fit in the rest of the window.
    virtual uint32_t TransferBeyondWindow(void* buffer, uint32_t count) = 0;

    // Lends the base the bytes [begin, end), which stand for the stream from
    // position on; the cursor starts at begin + offset.
    void SetWindow(uint8_t* begin, uint8_t* end, uint32_t position, uint32_t offset = 0) {
        window_ = begin;
        windowEnd_ = end;
        windowPosition_ = position;
        cursor_ = begin + offset;
    }
    uint8_t* WindowBegin() const { return window_; }
    uint32_t WindowPosition() const { return windowPosition_; }
    // Bytes between the window's start and the cursor, and after the cursor.
    uint32_t CursorOffset() const { return uint32_t(cursor_ - window_); }
    uint32_t WindowLeft() const { return uint32_t(windowEnd_ - cursor_); }

private:
    int mode_;
    uint8_t* window_ = nullptr;
    uint8_t* cursor_ = nullptr;
    uint8_t* windowEnd_ = nullptr;
    uint32_t windowPosition_ = 0;
};

// The absolute position a Seek aims at, before a stream limits it.
inline int64_t SeekTarget(int64_t distance, SeekOrigin origin, uint32_t position, uint32_t size) {
    switch (origin) {
    case SeekOrigin::Current:
        return int64_t(position) + distance;
    case SeekOrigin::End:
        return int64_t(size) + distance;
    default:
        return distance;
    }
}
