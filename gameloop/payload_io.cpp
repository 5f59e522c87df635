#include "gameloop/payload_io.h"

void PayloadIo::Field(uint64_t& bits, uint32_t width) {
    if (Writing()) {
        for (uint32_t i = 0; i < width; ++i)
            out_->push_back(uint8_t(bits >> (8 * i)));
        return;
    }
    if (!ok_ || width > size_ - pos_) {
        ok_ = false;
        return;
    }
    bits = 0;
    for (uint32_t i = 0; i < width; ++i)
        bits |= uint64_t(in_[pos_ + i]) << (8 * i);
    pos_ += width;
}
void PayloadIo::Pad(uint32_t count) {
    if (numbers_)
        return;
    if (Writing()) {
        out_->insert(out_->end(), count, 0);
        return;
    }
    if (!ok_ || count > size_ - pos_) {
        ok_ = false;
        return;
    }
    pos_ += count;
}

void PayloadIo::Rest(std::vector<uint8_t>& bytes) {
    if (numbers_) {
        bytes.clear();
        for (; ok_ && pos_ < numbers_->size(); ++pos_) {
            int64_t n = (*numbers_)[pos_];
            ok_ = n >= 0 && n <= 255;
            bytes.push_back(uint8_t(n));
        }
        return;
    }
    if (Writing()) {
        out_->insert(out_->end(), bytes.begin(), bytes.end());
        return;
    }
    if (!ok_)
        return;
    bytes.assign(in_ + pos_, in_ + size_);
    pos_ = size_;
}
