// The compressed save file: a 12-byte header (u32 packed length P, the plain
// length L as a u64) and then the plain chunk file packed as one bare
// aPLib-format stream (method 7). Packing and unpacking happen in memory;
// the file is replaced only once the packed bytes are complete.
#pragma once

#include "files/aplib.h"
#include "files/memory_stream.h"
#include "files/save_stream.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

inline constexpr size_t kPackedSaveHeaderSize = 12;
// The largest plain file a compressed save may announce; a bound on what a
// damaged header can make the reader allocate.
inline constexpr uint32_t kMaxPackedSavePlainSize = 1u << 30;
// The largest saved game file, plain or compressed.
inline constexpr uint64_t kMaxSaveFileSize =
    kPackedSaveHeaderSize + AplibMaxPackedSize(kMaxPackedSavePlainSize);

// Builds the compressed file from the plain bytes; false when they are too
// many or cannot be packed.
bool PackSaveImage(std::span<const uint8_t> plain, std::vector<uint8_t>& file);

// Expands a compressed file. False, with the reason in error and plain left
// as it was, when the sizes in the header do not match the file or the
// packed bytes do not expand to exactly the announced length.
bool UnpackSaveImage(std::span<const uint8_t> file, std::vector<uint8_t>& plain,
                     std::string* error = nullptr);

// Collects the plain chunk file in memory; Close packs it and renames the
// compressed file over the target.
class PackedWriteStream final : public MemoryWriteStream {
public:
    explicit PackedWriteStream(const std::string& path) : writer_(path) {}

    // Creates the temporary file that Close fills and renames.
    bool Open() { return writer_.Open(); }

    bool Close() override;

private:
    plat::AtomicFileWriter writer_;
};

// A load stream over the expanded plain file; none when the file cannot be
// read or is damaged.
std::unique_ptr<SaveStream> OpenPackedReadStream(const std::string& path);
// None when the target's temporary file cannot be created.
std::unique_ptr<SaveStream> OpenPackedWriteStream(const std::string& path);
