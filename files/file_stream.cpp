#include "files/file_stream.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kBufferSize = 256 * 1024;

} // namespace

FileWriteStream::FileWriteStream(const std::string& path)
    : SaveStream(kStreamStore), writer_(path), buffer_(kBufferSize) {
    SetWindow(buffer_.data(), buffer_.data() + buffer_.size(), 0);
}

void FileWriteStream::NoteRun() const {
    runLength_ = std::max(runLength_, CursorOffset());
    end_ = std::max(end_, WindowPosition() + runLength_);
}

bool FileWriteStream::Flush(uint32_t position) {
    NoteRun();
    plat::File& file = writer_.Stream();
    if (!failed_ && runLength_ > 0 &&
        (!file.Seek(WindowPosition()) || !file.WriteExact(buffer_.data(), runLength_)))
        failed_ = true;
    runLength_ = 0;
    SetWindow(buffer_.data(), buffer_.data() + buffer_.size(), position);
    return !failed_;
}

uint32_t FileWriteStream::TransferBeyondWindow(void* buffer, uint32_t count) {
    if (count == 0)
        return 0;
    if (failed_ || count > UINT32_MAX - Position()) {
        failed_ = true;
        return 0;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        if (!Flush(Position()))
            return done;
        uint32_t left = count - done;
        if (left >= kBufferSize) {
            // A big field goes straight to the file.
            uint32_t position = Position();
            plat::File& file = writer_.Stream();
            if (!file.Seek(position) || !file.WriteExact(bytes + done, left)) {
                failed_ = true;
                return done;
            }
            end_ = std::max(end_, position + left);
            SetWindow(buffer_.data(), buffer_.data() + buffer_.size(), position + left);
            return count;
        }
        done += Transfer(const_cast<uint8_t*>(bytes + done), std::min(left, kBufferSize));
    }
    return done;
}

uint32_t FileWriteStream::Seek(int64_t distance, SeekOrigin origin) {
    NoteRun();
    int64_t target = SeekTarget(distance, origin, Position(), end_);
    if (target < 0 || target > int64_t(UINT32_MAX)) {
        failed_ = true;
        return Position();
    }
    int64_t offset = target - WindowPosition();
    if (offset >= 0 && offset <= int64_t(runLength_)) {
        SetWindow(buffer_.data(), buffer_.data() + buffer_.size(), WindowPosition(), uint32_t(offset));
        return Position();
    }
    if (!Flush(uint32_t(std::min<int64_t>(target, end_))))
        return Position();
    uint8_t zeros[4096] = {};
    while (Position() < target && !failed_)
        Transfer(zeros, uint32_t(std::min<int64_t>(target - Position(), sizeof zeros)));
    return Position();
}

uint32_t FileWriteStream::Size() const {
    NoteRun();
    return end_;
}

bool FileWriteStream::Close() {
    if (!Flush(Position())) {
        writer_.Abandon();
        return false;
    }
    return writer_.Commit();
}

FileReadStream::FileReadStream() : SaveStream(kStreamLoad) {}

bool FileReadStream::Open(const std::string& path) {
    if (!file_.Open(path, plat::File::Mode::Read))
        return false;
    uint64_t size = file_.Size();
    if (size >= UINT32_MAX) {
        file_.Close();
        return false;
    }
    size_ = uint32_t(size);
    buffer_.resize(std::min(kBufferSize, size_));
    SetWindow(buffer_.data(), buffer_.data(), 0);
    return true;
}

uint32_t FileReadStream::TransferBeyondWindow(void* buffer, uint32_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    count = std::min(count, size_ - Position());
    uint32_t done = 0;
    while (done < count && !failed_) {
        uint32_t left = count - done;
        if (WindowLeft() > 0) {
            done += Transfer(out + done, std::min(left, WindowLeft()));
            continue;
        }
        uint32_t position = Position();
        if (left >= kBufferSize) {
            // A big field comes straight from the file.
            failed_ = !file_.Seek(position) || !file_.ReadExact(out + done, left);
            filled_ = 0;
            SetWindow(buffer_.data(), buffer_.data(), failed_ ? position : position + left);
            if (!failed_)
                done = count;
            continue;
        }
        filled_ = std::min<uint32_t>(uint32_t(buffer_.size()), size_ - position);
        if (!file_.Seek(position) || !file_.ReadExact(buffer_.data(), filled_)) {
            failed_ = true;
            filled_ = 0;
        }
        SetWindow(buffer_.data(), buffer_.data() + filled_, position);
    }
    return done;
}

uint32_t FileReadStream::Seek(int64_t distance, SeekOrigin origin) {
    uint32_t target =
        uint32_t(std::clamp<int64_t>(SeekTarget(distance, origin, Position(), size_), 0, size_));
    if (target >= WindowPosition() && target - WindowPosition() <= filled_) {
        SetWindow(buffer_.data(), buffer_.data() + filled_, WindowPosition(), target - WindowPosition());
    } else {
        filled_ = 0;
        SetWindow(buffer_.data(), buffer_.data(), target);
    }
    return target;
}

bool FileReadStream::Close() {
    file_.Close();
    return !failed_;
}

std::unique_ptr<SaveStream> OpenFileReadStream(const std::string& path) {
    auto stream = std::make_unique<FileReadStream>();
    if (!stream->Open(path))
        return nullptr;
    return stream;
}

std::unique_ptr<SaveStream> OpenFileWriteStream(const std::string& path) {
    auto stream = std::make_unique<FileWriteStream>(path);
    if (!stream->Open())
        return nullptr;
    return stream;
}
