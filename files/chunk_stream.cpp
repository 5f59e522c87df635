#include "files/chunk_stream.h"

#include "platform/endian.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kBlockSizePlaceholder = 0xFFFFFFFF;

// An open chunk, by stream positions: the bytes it has consumed so far are
// the position minus start.
// A list element transferred field by field is kept the same way.
struct ChunkRecord {
    uint32_t start = 0;   // where its tag lies
    uint32_t end = 0;     // where it ends, by the size read; unused while storing a chunk
    bool element = false; // a list element rather than a chunk
};

// The open chunks, innermost last. Records stay allocated from chunk to
// chunk, so that opening one is a store and a count.
class ChunkStack {
public:
    bool Empty() const { return depth_ == 0; }
    size_t Depth() const { return depth_; }
    ChunkRecord& Innermost() { return records_[depth_ - 1]; }
    void Push(ChunkRecord record) {
        if (depth_ == records_.size())
            records_.resize(2 * depth_ + 16);
        records_[depth_++] = record;
    }
    ChunkRecord Pop() { return records_[--depth_]; }
    void Clear() { depth_ = 0; }

private:
    std::vector<ChunkRecord> records_;
    size_t depth_ = 0;
};

struct BlockState {
    bool open = false;
    uint32_t start = 0; // where its payload begins
    uint32_t end = 0;   // where its payload ends, by the size read
};

} // namespace

// The state of one current stream. A thread starts with a state of its own;
// SaveStreamScope puts a fresh one in front of it for a while.
struct ChunkStreamState {
    std::unique_ptr<SaveStream> stream;
    int mode = 0;
    bool failed = false;
    uint32_t version = 0;
    ChunkStack chunks;
    BlockState block;
    std::string error;
};

namespace {

thread_local ChunkStreamState* tCurrent = nullptr;

[[gnu::cold, gnu::noinline]] ChunkStreamState& ThreadState() {
    thread_local ChunkStreamState state;
    tCurrent = &state;
    return state;
}

// The calling thread's current stream state.
[[gnu::always_inline]] inline ChunkStreamState& Current() {
    ChunkStreamState* state = tCurrent;
    return state ? *state : ThreadState();
}

bool Loading() {
    return Current().mode == kStreamLoad;
}
bool Failed() {
    return Current().failed;
}
// A current stream that has not failed.
bool Live() {
    return Current().stream && !Current().failed;
}
uint32_t Here() {
    return Current().stream ? Current().stream->Position() : 0;
}

// Fails the stream; the first reason is kept. Failures are kept out of line
// and the few steps of every transfer inline, for the many small fields of
// a save.
[[gnu::cold, gnu::noinline, gnu::format(printf, 1, 2)]] void Fail(const char* format, ...) {
    Current().failed = true;
    if (!Current().error.empty())
        return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Current().error = text;
}

[[gnu::cold, gnu::noinline]] void FailShortMove() {
    Fail(Loading() ? "unexpected end of the data at byte %u" : "the data could not be stored at byte %u",
         Here());
}

[[gnu::cold, gnu::noinline]] void FailChunkSize(uint32_t tag, uint32_t position, uint32_t size,
                                                uint32_t room) {
    if (size < kHeaderSize)
        Fail("chunk '%s' at byte %u has the size %u, less than its own header", ChunkTagName(tag).c_str(),
             position, size);
    else
        Fail("chunk '%s' at byte %u has the size %u, more than the %u bytes around it",
             ChunkTagName(tag).c_str(), position, size, room);
}

// What is left to load of the innermost chunk, or of the whole stream
// outside chunks; unbounded while storing.
[[gnu::always_inline]] inline uint32_t Left() {
    uint32_t position = Current().stream->Position();
    if (!Loading())
        return Current().chunks.Empty() ? UINT32_MAX
                                        : UINT32_MAX - (position - Current().chunks.Innermost().start);
    return (Current().chunks.Empty() ? Current().stream->Size() : Current().chunks.Innermost().end) -
           position;
}

// Moves bytes; a short move fails the stream.
[[gnu::always_inline]] inline uint32_t Move(void* buffer, uint32_t count) {
    uint32_t moved = Current().stream->Transfer(buffer, count);
    if (moved != count) [[unlikely]]
        FailShortMove();
    return moved;
}

[[gnu::always_inline]] inline uint32_t MoveU32(uint32_t& value) {
    uint32_t moved = Current().stream->TransferU32(value);
    if (moved != 4) [[unlikely]]
        FailShortMove();
    return moved;
}

// Moves a chunk's or a block's header: its tag and its size. Where the
// header lies in the stream's window, in place, in one step.
[[gnu::always_inline]] inline bool MoveHeader(uint32_t& tag, uint32_t& size) {
    SaveStream& stream = *Current().stream;
    if (uint8_t* header = stream.WindowBytes(kHeaderSize)) {
        if (Loading()) {
            tag = plat::LoadLE32(header);
            size = plat::LoadLE32(header + 4);
        } else {
            plat::StoreLE32(header, tag);
            plat::StoreLE32(header + 4, size);
        }
        stream.Advance(kHeaderSize);
        return true;
    }
    uint32_t moved = MoveU32(tag);
    return moved + MoveU32(size) == kHeaderSize;
}

// Seeks from the position from forward to position; returns the distance.
[[gnu::noinline]] uint32_t SeekForward(uint32_t from, uint32_t position) {
    uint32_t to = Current().stream->Seek(position, SeekOrigin::Start);
    if (to != position)
        Fail("unexpected end of the data at byte %u", to);
    return to - from;
}

// Moves forward to position; returns the distance. Mostly the position is
// there already: a chunk that was read to its end.
[[gnu::always_inline]] inline uint32_t SkipTo(uint32_t position) {
    uint32_t from = Current().stream->Position();
    return position <= from ? 0 : SeekForward(from, position);
}

uint32_t Skip(uint32_t count) {
    uint64_t target = uint64_t(Current().stream->Position()) + count;
    if (target > UINT32_MAX) {
        Fail("a skip beyond 4 GiB at byte %u", Here());
        return 0;
    }
    return SkipTo(uint32_t(target));
}

// Writes a size into a field stored earlier, keeping the position.
[[gnu::always_inline]] inline void PatchSize(uint32_t sizeFieldPos, uint32_t size) {
    uint8_t field[4];
    plat::StoreLE32(field, size);
    SaveStream& stream = *Current().stream;
    if (stream.OverwriteInWindow(sizeFieldPos, field, 4))
        return;
    uint32_t end = stream.Position();
    if (stream.Seek(sizeFieldPos, SeekOrigin::Start) != sizeFieldPos || stream.Transfer(field, 4) != 4 ||
        stream.Seek(end, SeekOrigin::Start) != end)
        Fail("the data could not be stored at byte %u", sizeFieldPos);
}

// Guards the operations that work inside an open chunk.
[[gnu::always_inline]] inline bool InChunk() {
    if (!Current().stream)
        return false;
    if (Current().chunks.Empty()) [[unlikely]]
        Fail("a transfer outside any chunk at byte %u", Here());
    return !Current().failed;
}

// Stores a u32 length and count bytes; where both fit in the stream's
// window, in one step. Returns the bytes moved of the length and of the
// bytes.
struct StoredWithLength {
    uint32_t length;
    uint32_t bytes;
};
[[gnu::always_inline]] inline StoredWithLength StoreWithLength(const void* bytes, uint32_t count) {
    SaveStream& stream = *Current().stream;
    if (uint8_t* field = stream.WindowBytes(4 + uint64_t(count))) {
        plat::StoreLE32(field, count);
        CopyBytes(field + 4, static_cast<const uint8_t*>(bytes), count);
        stream.Advance(4 + count);
        return {4, count};
    }
    uint32_t length = count;
    uint32_t lengthMoved = MoveU32(length);
    return {lengthMoved, Move(const_cast<void*>(bytes), count)};
}

// A sized field within left bytes. Returns 4 plus the bytes moved into or
// out of the buffer.
[[gnu::always_inline]] inline uint32_t MoveSized(void* buffer, uint32_t capacity, uint32_t left) {
    if (!Loading()) {
        StoredWithLength moved = StoreWithLength(buffer, capacity);
        return moved.length + moved.bytes;
    }
    if (left == 0)
        return 0;
    if (left < 4) {
        Fail("a sized field's length is cut off at byte %u", Here());
        return 0;
    }
    SaveStream& stream = *Current().stream;
    uint32_t length = 0;
    uint32_t available = 0;
    uint32_t taken = 0;
    const uint8_t* field = stream.WindowBytes(4);
    if (field) {
        length = plat::LoadLE32(field);
        available = std::min(length, left - 4);
        taken = std::min(available, capacity);
    }
    if (field && stream.WindowBytes(4 + uint64_t(taken))) {
        // The length and the bytes taken lie in the window: one step.
        CopyBytes(static_cast<uint8_t*>(buffer), field + 4, taken);
        stream.Advance(4 + taken);
    } else {
        if (MoveU32(length) != 4)
            return 0;
        available = std::min(length, left - 4);
        taken = Move(buffer, std::min(available, capacity));
    }
    // A longer stored field keeps the fields after it in place.
    if (taken < available && !Failed())
        Skip(available - taken);
    return 4 + taken;
}

} // namespace

std::string ChunkTagName(uint32_t tag) {
    if (tag == 0)
        return "0";
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char(tag >> shift);
        if (c == 0 && name.empty())
            continue;
        if (c < 0x20 || c > 0x7E) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", tag);
            return hex;
        }
        name += c;
    }
    return name;
}

bool BeginSaveStream(std::unique_ptr<SaveStream> stream, std::string& headerText, uint32_t& version) {
    ChunkStreamState& state = Current();
    if (state.stream) {
        // Dropping the open stream would lose a save silently, and carrying
        // on would mix two streams: both fail, the new one is dropped.
        Fail("a second stream was begun while this one was open (open it in its own SaveStreamScope)");
        return false;
    }
    state.chunks.Clear();
    state.block = {};
    state.error.clear();
    state.failed = false;
    state.mode = 0;
    if (!stream) {
        Fail("no stream");
        return false;
    }
    Current().stream = std::move(stream);
    Current().mode = Current().stream->Mode();

    uint32_t tag = kHeaderChunkTag;
    BeginChunk(tag);
    if (Loading() && !Failed() && tag != kHeaderChunkTag)
        Fail("the data does not begin with a header chunk");
    uint8_t versionField[4];
    plat::StoreLE32(versionField, version);
    uint32_t versionMoved = TransferSized(versionField, 4);
    std::string text = headerText;
    uint32_t textMoved = SerializeString(text);
    if (Loading() && !Failed() && (versionMoved != 8 || textMoved == 0))
        Fail("the header chunk lacks its version or its text");
    EndChunk();
    if (!Failed()) {
        headerText = std::move(text);
        version = plat::LoadLE32(versionField);
    }
    Current().version = version;
    return !Failed();
}

bool CloseStream() {
    if (!Current().stream)
        return false;
    if (!Loading() && !Current().chunks.Empty())
        Fail("the save ended with %zu chunks still open", Current().chunks.Depth());
    // A failed stream is dropped without Close, so a failed save delivers nothing.
    bool ok = !Failed();
    if (ok && !Current().stream->Close()) {
        Fail(Loading() ? "the data could not be read" : "the file could not be written");
        ok = false;
    }
    Current().stream.reset();
    Current().chunks.Clear();
    Current().block = {};
    Current().mode = 0;
    return ok;
}

uint32_t GetStreamVersion() {
    return Current().version;
}

int StreamMode() {
    return Current().stream ? Current().mode : 0;
}

bool StreamFailed() {
    return Failed();
}

const std::string& StreamError() {
    return Current().error;
}

uint32_t BeginChunk(uint32_t& tag) {
    if (!Live()) {
        if (Current().stream && Loading())
            tag = 0;
        Current().chunks.Push({});
        return 0;
    }
    uint32_t start = Current().stream->Position();
    if (!Loading()) {
        Current().chunks.Push({start, start});
        // EndChunk fills in the size.
        uint32_t placeholder = 0;
        return MoveHeader(tag, placeholder) ? kHeaderSize : 0;
    }
    uint32_t left = Left();
    bool nested = !Current().chunks.Empty();
    Current().chunks.Push({start, start});
    if (left < kHeaderSize) {
        // Nothing left of the enclosing chunk: it holds no further chunk.
        if (left > 0 || !nested)
            Fail(nested ? "a chunk header is cut off at byte %u" : "unexpected end of the data at byte %u",
                 start);
        tag = 0;
        return 0;
    }
    uint32_t size = 0;
    if (!MoveHeader(tag, size)) {
        tag = 0;
        return 0;
    }
    if (size < kHeaderSize || size > left) {
        FailChunkSize(tag, start, size, left);
        tag = 0;
        return 0;
    }
    Current().chunks.Innermost().end = start + size;
    return kHeaderSize;
}

uint32_t EndChunk() {
    if (Current().chunks.Empty()) {
        if (Current().stream)
            Fail("a chunk ended that was never begun at byte %u", Here());
        return 0;
    }
    if (Current().chunks.Innermost().element) {
        Fail("a chunk ended inside an unfinished list element at byte %u", Here());
        return 0;
    }
    ChunkRecord chunk = Current().chunks.Pop();
    if (!Live())
        return 0;
    if (Loading()) {
        SkipTo(chunk.end);
        return chunk.end - chunk.start;
    }
    uint32_t size = Current().stream->Position() - chunk.start;
    PatchSize(chunk.start + 4, size);
    return size;
}

uint32_t PeekChunkTag() {
    if (!Live() || !Loading() || Left() < kHeaderSize)
        return 0;
    SaveStream& stream = *Current().stream;
    if (const uint8_t* header = stream.WindowBytes(4))
        return plat::LoadLE32(header);
    const uint32_t position = stream.Position();
    uint32_t tag = 0;
    if (stream.TransferU32(tag) != 4)
        tag = 0;
    if (stream.Seek(position, SeekOrigin::Start) != position)
        Fail("the data cannot be read again at byte %u", position);
    return tag;
}

uint32_t ChunkBytesLeft() {
    if (!Live() || Current().chunks.Empty())
        return 0;
    return Left();
}

uint32_t TransferInChunk(void* buffer, uint32_t count) {
    if (!InChunk())
        return 0;
    return Move(buffer, Loading() ? std::min(count, Left()) : count);
}

uint32_t TransferSized(void* buffer, uint32_t capacity) {
    if (!InChunk())
        return 0;
    return MoveSized(buffer, capacity, Loading() ? Left() : 0);
}

uint32_t SkipInChunk(uint32_t count) {
    if (!InChunk())
        return 0;
    return Skip(std::min(count, Left()));
}

uint32_t SerializeString(std::string& text) {
    if (!InChunk())
        return 0;
    if (!Loading()) {
        if (text.size() >= UINT32_MAX - 4) {
            Fail("a string too long to store at byte %u", Here());
            return 0;
        }
        // The characters and the zero that ends them.
        return StoreWithLength(text.c_str(), uint32_t(text.size() + 1)).bytes;
    }
    uint32_t left = Left();
    if (left == 0)
        return 0;
    if (left < 4) {
        Fail("a string's byte count is cut off at byte %u", Here());
        return 0;
    }
    uint32_t length = 0;
    if (MoveU32(length) != 4)
        return 0;
    if (length == 0) {
        Fail("a string's byte count is 0, leaving no room for its terminating zero, at byte %u", Here());
        return 0;
    }
    if (length > left - 4) {
        Fail("a string of %u bytes is longer than the %u bytes left of its chunk at byte %u", length,
             left - 4, Here());
        return 0;
    }
    SaveStream& stream = *Current().stream;
    if (const uint8_t* bytes = stream.WindowBytes(length)) {
        text.assign(reinterpret_cast<const char*>(bytes), length - 1);
        stream.Advance(length);
        return length;
    }
    std::string loaded(length - 1, '\0');
    uint8_t terminator = 0;
    uint32_t moved = Move(loaded.data(), length - 1);
    moved += Move(&terminator, 1);
    if (!Failed())
        text = std::move(loaded);
    return moved;
}

uint32_t TransferListHeader(uint32_t& count, uint32_t elementSize) {
    if (!InChunk())
        return 0;
    if (!Loading()) {
        MoveU32(count);
        MoveU32(elementSize);
        return elementSize;
    }
    uint32_t left = Left();
    if (left == 0)
        return 0;
    if (left < 8) {
        Fail("a list header is cut off at byte %u", Here());
        return 0;
    }
    uint32_t storedCount = 0, storedSize = 0;
    uint32_t moved = MoveU32(storedCount);
    if (moved + MoveU32(storedSize) != 8)
        return 0;
    if (storedCount > 0 && (storedSize == 0 || uint64_t(storedCount) * storedSize > left - 8)) {
        Fail("a list of %u elements of %u bytes does not fit in the %u bytes left of its chunk at byte %u",
             storedCount, storedSize, left - 8, Here());
        return 0;
    }
    count = storedCount;
    return storedSize;
}

uint32_t TransferListElement(void* element, uint32_t elementSize, uint32_t storedSize) {
    if (!InChunk())
        return 0;
    if (!Loading())
        return Move(element, elementSize);
    uint32_t stored = std::min(storedSize, Left());
    uint32_t moved = Move(element, std::min(elementSize, stored));
    if (moved < stored && !Failed())
        Skip(stored - moved);
    return moved;
}

uint32_t BeginListRecord(uint32_t storedSize) {
    ChunkStreamState& state = Current();
    if (!state.stream)
        return 0;
    bool live = InChunk();
    uint32_t start = state.stream->Position();
    uint32_t end = start;
    if (live)
        end += Loading() ? std::min(storedSize, Left()) : storedSize;
    state.chunks.Push({start, end, true});
    return 0;
}

uint32_t EndListRecord() {
    ChunkStreamState& state = Current();
    if (!state.stream)
        return 0;
    if (state.chunks.Empty() || !state.chunks.Innermost().element) {
        Fail("a list element ended that was never begun at byte %u", Here());
        return 0;
    }
    ChunkRecord element = state.chunks.Pop();
    if (!Live())
        return 0;
    if (Loading()) {
        SkipTo(element.end);
        return element.end - element.start;
    }
    uint32_t size = state.stream->Position() - element.start;
    if (size != element.end - element.start)
        Fail("a list element of %u bytes in a list of %u-byte elements at byte %u", size,
             element.end - element.start, element.start);
    return size;
}

uint32_t BeginBlock(uint32_t& tag) {
    Current().block = {};
    if (!Live()) {
        if (Current().stream && Loading())
            tag = 0;
        return 0;
    }
    uint32_t left = Left();
    bool nested = !Current().chunks.Empty();
    uint32_t start = Current().stream->Position();
    if (Loading() && left < kHeaderSize) {
        if (left > 0 || !nested)
            Fail(nested ? "a block header is cut off at byte %u" : "unexpected end of the data at byte %u",
                 start);
        tag = 0;
        return 0;
    }
    uint32_t size = kBlockSizePlaceholder;
    if (!MoveHeader(tag, size)) {
        tag = 0;
        return 0;
    }
    Current().block = {true, start + kHeaderSize, start + kHeaderSize};
    if (Loading()) {
        if (size > left - kHeaderSize) {
            Fail("block '%s' at byte %u has the size %u, more than the %u bytes after its header",
                 ChunkTagName(tag).c_str(), start, size, left - kHeaderSize);
            tag = 0;
            return 0;
        }
        Current().block.end += size;
    }
    return 0;
}

uint32_t TransferSizedInBlock(void* buffer, uint32_t capacity) {
    if (!Live())
        return 0;
    const BlockState& block = Current().block;
    if (!block.open) {
        Fail("a block transfer outside any block at byte %u", Here());
        return 0;
    }
    uint32_t position = Current().stream->Position();
    uint32_t left = Loading() ? block.end - position : UINT32_MAX - (position - block.start);
    return MoveSized(buffer, capacity, left);
}

uint32_t EndBlock() {
    BlockState& block = Current().block;
    if (!Current().stream || !block.open)
        return 0;
    block.open = false;
    uint32_t consumed = Current().stream->Position() - block.start;
    if (Live() && !Loading())
        PatchSize(block.start - 4, consumed);
    else if (Live())
        SkipTo(block.end);
    return consumed;
}

SaveStreamScope::SaveStreamScope() : state_(std::make_unique<ChunkStreamState>()), previous_(&Current()) {
    tCurrent = state_.get();
}

SaveStreamScope::~SaveStreamScope() {
    // A stream still open is dropped without Close: it delivers nothing.
    tCurrent = previous_;
}
