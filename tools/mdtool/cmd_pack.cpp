// mdtool pack and unpack: a file through one of the compression codecs, as
// the raw stream the codec defines (LZSS, bare aPLib format, or the aPLib
// format in its "AP32" container).
#include "tools/mdtool/command.h"

#include "files/aplib.h"
#include "files/lzss.h"
#include "platform/file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mdtool {
namespace {

constexpr const char* kPackUsage = "pack lzss|aplib|aplib-container IN OUT";
constexpr const char* kUnpackUsage = "unpack lzss|aplib|aplib-container IN OUT";

// The largest output: bare streams, which do not record their unpacked
// size, grow up to it, and a container may announce no more.
constexpr size_t kMaxUnpackedSize = size_t(1) << 30;

enum class Format { Lzss, Aplib, AplibContainer };

std::optional<Format> ParseFormat(const std::string& word) {
    if (word == "lzss")
        return Format::Lzss;
    if (word == "aplib")
        return Format::Aplib;
    if (word == "aplib-container")
        return Format::AplibContainer;
    return std::nullopt;
}

bool ReadInput(const std::string& path, std::vector<uint8_t>& bytes) {
    std::string error;
    if (!plat::ReadWholeFile(path, bytes, kMaxUnpackedSize, &error)) {
        Fail(path + ": " + error);
        return false;
    }
    return true;
}

int WriteOutput(const std::string& path, std::span<const uint8_t> bytes, size_t inputSize) {
    std::string error;
    if (!plat::WriteFileAtomically(path, bytes.data(), bytes.size(), &error))
        return Fail("cannot write " + error);
    std::printf("%zu bytes -> %zu bytes\n", inputSize, bytes.size());
    return 0;
}

int RunPack(const Args& args) {
    std::optional<Format> format = args.size() == 3 ? ParseFormat(args[0]) : std::nullopt;
    if (!format)
        return Usage(kPackUsage);
    std::vector<uint8_t> src;
    if (!ReadInput(args[1], src))
        return 1;
    std::vector<uint8_t> packed;
    std::optional<size_t> size;
    switch (*format) {
    case Format::Lzss:
        packed.resize(LzssMaxPackedSize(src.size()));
        size = LzssEncode(src, packed);
        break;
    case Format::Aplib:
        packed.resize(AplibMaxPackedSize(src.size()));
        size = AplibPack(src, packed);
        break;
    case Format::AplibContainer:
        if (src.size() > UINT32_MAX)
            return Fail(args[1] + " is too large for a container");
        packed.resize(AplibMaxContainerSize(src.size()));
        size = AplibPackContainer(src, packed);
        break;
    }
    if (!size)
        return Fail("cannot pack " + args[1]);
    return WriteOutput(args[2], std::span(packed).first(*size), src.size());
}

// Unpacks a bare stream into a buffer that doubles until the stream fits;
// a stream that fails even at the limit is damaged.
int UnpackLzss(const std::vector<uint8_t>& src, const Args& args) {
    size_t capacity = std::clamp<size_t>(4 * src.size(), 1 << 16, kMaxUnpackedSize);
    for (;;) {
        auto out = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        if (std::optional<size_t> n = LzssDecode(src, std::span(out.get(), capacity)))
            return WriteOutput(args[2], std::span(out.get(), *n), src.size());
        if (capacity == kMaxUnpackedSize)
            return Fail(args[1] + " is damaged, or unpacks to more than " + std::to_string(kMaxUnpackedSize) +
                        " bytes");
        capacity = std::min(2 * capacity, kMaxUnpackedSize);
    }
}

int RunUnpack(const Args& args) {
    std::optional<Format> format = args.size() == 3 ? ParseFormat(args[0]) : std::nullopt;
    if (!format)
        return Usage(kUnpackUsage);
    std::vector<uint8_t> src;
    if (!ReadInput(args[1], src))
        return 1;
    switch (*format) {
    case Format::Lzss:
        return UnpackLzss(src, args);
    case Format::Aplib: {
        std::vector<uint8_t> out;
        if (!AplibDepackGrowing(src, out, kMaxUnpackedSize))
            return Fail(args[1] + " is damaged, or unpacks to more than " + std::to_string(kMaxUnpackedSize) +
                        " bytes");
        return WriteOutput(args[2], out, src.size());
    }
    case Format::AplibContainer:
        break;
    }
    std::optional<uint32_t> size = AplibContainerUnpackedSize(src);
    if (!size)
        return Fail(args[1] + " is not an AP32 container, or its header is damaged");
    if (*size > kMaxUnpackedSize)
        return Fail(args[1] + " announces " + std::to_string(*size) + " unpacked bytes, more than " +
                    std::to_string(kMaxUnpackedSize));
    // The output grows as the stream decodes: a header that announces more
    // than its stream holds costs nothing.
    std::vector<uint8_t> out;
    if (!AplibUnpackContainerGrowing(src, out))
        return Fail(args[1] + " is damaged: its sizes or checksums do not match its contents");
    return WriteOutput(args[2], out, src.size());
}

} // namespace

MDTOOL_COMMAND("pack", kPackUsage, RunPack);
MDTOOL_COMMAND("unpack", kUnpackUsage, RunUnpack);

} // namespace mdtool
