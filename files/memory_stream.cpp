#include "files/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kGrowthStep = 256 * 1024;

} // namespace

MemoryWriteStream::MemoryWriteStream(std::vector<uint8_t>& out) : SaveStream(kStreamStore), out_(out) {
    out_.clear();
}

void MemoryWriteStream::NoteEnd() const {
    end_ = std::max(end_, Position());
}

bool MemoryWriteStream::Grow(uint64_t size) {
    if (size > UINT32_MAX) {
        failed_ = true;
        return false;
    }
    if (size > out_.size()) {
        NoteEnd();
        uint32_t position = Position();
        // The capacity doubles; the zeroed part grows by steps, so that each
        // byte is zeroed once at most.
        if (size > out_.capacity())
            out_.reserve(size_t(std::clamp<uint64_t>(2 * uint64_t(out_.capacity()), size, UINT32_MAX)));
        out_.resize(size_t(std::min<uint64_t>(out_.capacity(), std::max(size, out_.size() + kGrowthStep))));
        SetWindow(out_.data(), out_.data() + out_.size(), 0, position);
    }
    return true;
}

uint32_t MemoryWriteStream::TransferBeyondWindow(void* buffer, uint32_t count) {
    if (count == 0 || failed_)
        return 0;
    NoteEnd();
    uint32_t position = Position();
    if (position == end_ && count >= kGrowthStep && uint64_t(position) + count <= UINT32_MAX) {
        // A big field at the end is appended, without zeroing its room first.
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        out_.resize(end_);
        out_.insert(out_.end(), bytes, bytes + count);
        end_ += count;
        SetWindow(out_.data(), out_.data() + out_.size(), 0, end_);
        return count;
    }
    if (!Grow(uint64_t(position) + count))
        return 0;
    return Transfer(buffer, count);
}

uint32_t MemoryWriteStream::Seek(int64_t distance, SeekOrigin origin) {
    NoteEnd();
    int64_t target = SeekTarget(distance, origin, Position(), end_);
    if (target < 0 || !Grow(uint64_t(target))) {
        failed_ = true;
        return Position();
    }
    SetWindow(out_.data(), out_.data() + out_.size(), 0, uint32_t(target));
    NoteEnd();
    return Position();
}

uint32_t MemoryWriteStream::Size() const {
    NoteEnd();
    return end_;
}

bool MemoryWriteStream::Close() {
    NoteEnd();
    out_.resize(end_);
    SetWindow(nullptr, nullptr, end_);
    return !failed_;
}

MemoryReadStream::MemoryReadStream(std::span<const uint8_t> bytes) : SaveStream(kStreamLoad), bytes_(bytes) {
    // A loading window is only ever read from.
    auto* begin = const_cast<uint8_t*>(bytes_.data());
    SetWindow(begin, begin + bytes_.size(), 0);
}

MemoryReadStream::MemoryReadStream(std::vector<uint8_t>&& bytes)
    : SaveStream(kStreamLoad), owned_(std::move(bytes)), bytes_(owned_) {
    SetWindow(owned_.data(), owned_.data() + owned_.size(), 0);
}

uint32_t MemoryReadStream::TransferBeyondWindow(void* buffer, uint32_t count) {
    uint32_t left = Size() - Position();
    return count > 0 && left > 0 ? Transfer(buffer, std::min(count, left)) : 0;
}

uint32_t MemoryReadStream::Seek(int64_t distance, SeekOrigin origin) {
    int64_t target = std::clamp<int64_t>(SeekTarget(distance, origin, Position(), Size()), 0, Size());
    SetWindow(WindowBegin(), WindowBegin() + Size(), 0, uint32_t(target));
    return uint32_t(target);
}

std::unique_ptr<SaveStream> OpenMemoryWriteStream(std::vector<uint8_t>& out) {
    return std::make_unique<MemoryWriteStream>(out);
}

std::unique_ptr<SaveStream> OpenMemoryReadStream(std::span<const uint8_t> bytes) {
    if (bytes.size() > UINT32_MAX)
        return nullptr;
    return std::make_unique<MemoryReadStream>(bytes);
}

std::unique_ptr<SaveStream> OpenMemoryReadStream(std::vector<uint8_t>&& bytes) {
    if (bytes.size() > UINT32_MAX)
        return nullptr;
    return std::make_unique<MemoryReadStream>(std::move(bytes));
}
