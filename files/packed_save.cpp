#include "files/packed_save.h"

#include "files/aplib.h"
#include "files/pack_mem_buffer.h"
#include "platform/endian.h"

namespace {

bool Reject(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

} // namespace

bool PackSaveImage(std::span<const uint8_t> plain, std::vector<uint8_t>& file) {
    if (plain.size() > kMaxPackedSavePlainSize)
        return false;
    std::vector<uint8_t> packed(kPackedSaveHeaderSize + AplibMaxPackedSize(plain.size()));
    std::optional<size_t> length = PackMemBuffer::CompressBlock(
        plain, std::span<uint8_t>(packed).subspan(kPackedSaveHeaderSize), kMethodAplib);
    if (!length || *length > UINT32_MAX - kPackedSaveHeaderSize)
        return false;
    plat::StoreLE32(packed.data(), uint32_t(*length));
    plat::StoreLE64(packed.data() + 4, plain.size());
    packed.resize(kPackedSaveHeaderSize + *length);
    file = std::move(packed);
    return true;
}

bool UnpackSaveImage(std::span<const uint8_t> file, std::vector<uint8_t>& plain, std::string* error) {
    if (file.size() < kPackedSaveHeaderSize)
        return Reject(error, "too short for a compressed save (" + std::to_string(file.size()) + " bytes)");
    uint32_t packedLength = plat::LoadLE32(file.data());
    // The reader takes the low half of the 64-bit plain length.
    uint32_t plainLength = plat::LoadLE32(file.data() + 4);
    if (packedLength != file.size() - kPackedSaveHeaderSize)
        return Reject(error, "the packed length " + std::to_string(packedLength) + " does not match the " +
                                 std::to_string(file.size() - kPackedSaveHeaderSize) +
                                 " bytes that follow the header");
    if (plainLength > kMaxPackedSavePlainSize)
        return Reject(error, "the plain length " + std::to_string(plainLength) + " is beyond any saved game");
    // The output grows as the stream decodes: a header that claims more
    // than its stream holds costs no more memory than the stream produces.
    std::vector<uint8_t> expanded;
    std::optional<size_t> produced =
        AplibDepackGrowing(file.subspan(kPackedSaveHeaderSize), expanded, plainLength);
    if (!produced || *produced != plainLength)
        return Reject(error, "the packed bytes do not expand to the announced " +
                                 std::to_string(plainLength) + " bytes");
    plain = std::move(expanded);
    return true;
}

bool PackedWriteStream::Close() {
    std::vector<uint8_t> packed;
    if (!MemoryWriteStream::Close() || !PackSaveImage(Bytes(), packed) ||
        !writer_.Write(packed.data(), packed.size())) {
        writer_.Abandon();
        return false;
    }
    return writer_.Commit();
}

std::unique_ptr<SaveStream> OpenPackedReadStream(const std::string& path) {
    plat::File file;
    if (!file.Open(path, plat::File::Mode::Read))
        return nullptr;
    uint64_t size = file.Size();
    if (size < kPackedSaveHeaderSize ||
        size > kPackedSaveHeaderSize + AplibMaxPackedSize(kMaxPackedSavePlainSize))
        return nullptr;
    std::vector<uint8_t> bytes(size_t(size), 0);
    if (!file.ReadExact(bytes.data(), bytes.size()))
        return nullptr;
    std::vector<uint8_t> plain;
    if (!UnpackSaveImage(bytes, plain))
        return nullptr;
    return OpenMemoryReadStream(std::move(plain));
}

std::unique_ptr<SaveStream> OpenPackedWriteStream(const std::string& path) {
    auto stream = std::make_unique<PackedWriteStream>(path);
    if (!stream->Open())
        return nullptr;
    return stream;
}
