// Save streams in memory: a save that goes to a byte vector (network
// transfer, consistency checks, the compressed save file) and a load from
// bytes already at hand.
#pragma once

#include "files/save_stream.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// Stores into a vector: its own, or a caller's that it empties first
// (keeping its capacity) and that must outlive the stream. The vector holds
// the stored bytes once the stream is closed.
class MemoryWriteStream : public SaveStream {
public:
    MemoryWriteStream() : SaveStream(kStreamStore), out_(own_) {}
    explicit MemoryWriteStream(std::vector<uint8_t>& out);

    uint32_t Seek(int64_t distance, SeekOrigin origin) override;
    uint32_t Size() const override;
    bool Close() override;

protected:
    uint32_t TransferBeyondWindow(void* buffer, uint32_t count) override;
    // The stored bytes; complete after Close.
    const std::vector<uint8_t>& Bytes() const { return out_; }

private:
    // Makes the vector at least size bytes long; the window then covers it.
    bool Grow(uint64_t size);
    void NoteEnd() const;

    std::vector<uint8_t> own_;
    std::vector<uint8_t>& out_;
    // The end of the bytes stored; the vector beyond it holds zeros.
    mutable uint32_t end_ = 0;
    bool failed_ = false;
};

// Loads from bytes that it owns or, for the view constructor, that the
// caller keeps alive until the stream is gone.
class MemoryReadStream final : public SaveStream {
public:
    explicit MemoryReadStream(std::span<const uint8_t> bytes);
    explicit MemoryReadStream(std::vector<uint8_t>&& bytes);

    uint32_t Seek(int64_t distance, SeekOrigin origin) override;
    uint32_t Size() const override { return uint32_t(bytes_.size()); }
    bool Close() override { return true; }

protected:
    uint32_t TransferBeyondWindow(void* buffer, uint32_t count) override;

private:
    std::vector<uint8_t> owned_;
    std::span<const uint8_t> bytes_;
};

std::unique_ptr<SaveStream> OpenMemoryWriteStream(std::vector<uint8_t>& out);
// None when the bytes are too many for a stream (4 GiB and more).
std::unique_ptr<SaveStream> OpenMemoryReadStream(std::span<const uint8_t> bytes);
std::unique_ptr<SaveStream> OpenMemoryReadStream(std::vector<uint8_t>&& bytes);
