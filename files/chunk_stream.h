// The chunk stream: the current save stream through which every saved
// object writes and reads itself. An object has one routine for both
// directions: the same calls store while the current stream stores and load
// while it loads.
//
// A chunk is a u32 tag (stored little-endian, so "head" lies in the file as
// "daeh"), a u32 size counting its 8 header bytes and everything nested in
// it, and its payload. An object walks its zero-terminated tag list
// (TransferTagList): for each entry, BeginChunk, the fields of the tag now
// in the variable, EndChunk; storing thus ends the object with an empty
// chunk of tag 0, and loading stops at a chunk of tag 0.
//
// Loading never reads outside the chunk it is in: every transfer is clamped
// to the bytes left, and every size the file gives is checked before it is
// trusted. Damage or a failed read or write makes the stream fail: from then
// on nothing more moves, BeginChunk answers tag 0, and CloseStream reports
// false (a failed save leaves the old file in place).
#pragma once

#include "files/save_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// A tag from its characters, the first in the most significant byte:
// ChunkTag("head"), ChunkTag("obj").
template <size_t N>
constexpr uint32_t ChunkTag(const char (&text)[N]) {
    static_assert(N >= 2 && N <= 5, "a tag has one to four characters");
    uint32_t tag = 0;
    for (size_t i = 0; i + 1 < N; ++i)
        tag = (tag << 8) | uint8_t(text[i]);
    return tag;
}

// A tag as its characters ("head", "obj"), "0" for the end of a tag list,
// or in hexadecimal when it holds characters that cannot be printed.
std::string ChunkTagName(uint32_t tag);

inline constexpr uint32_t kHeaderChunkTag = ChunkTag("head");
// The header text and stream version of the game's saves and islands.
inline constexpr std::string_view kSaveHeaderText = "MRD - Version 0.04";
inline constexpr uint32_t kSaveStreamVersion = 4;

struct ChunkStreamState;

// Gives the calling thread a fresh current-stream state for its lifetime and
// then restores the one before: a stream begun inside the scope neither sees
// nor disturbs a stream current outside it, and one left open is dropped
// without delivering anything. Each thread has its own current stream;
// scopes nest on the thread that made them.
class SaveStreamScope {
public:
    SaveStreamScope();
    ~SaveStreamScope();
    SaveStreamScope(const SaveStreamScope&) = delete;
    SaveStreamScope& operator=(const SaveStreamScope&) = delete;

private:
    std::unique_ptr<ChunkStreamState> state_;
    ChunkStreamState* previous_;
};

// Makes the stream current and transfers the header chunk: the version as a
// sized field, then the header text. Loading replaces both with the file's.
// False when the stream is none, when the header cannot be transferred (a
// loaded file that does not begin with "head"), or when another stream is
// still current: that one is not dropped but fails too, so that neither a
// half-written save nor a mix of two streams passes for a good one.
bool BeginSaveStream(std::unique_ptr<SaveStream> stream, std::string& headerText, uint32_t& version);

// Finishes and drops the current stream. True only when a stream was
// current, nothing failed and a storing stream delivered its bytes (a store
// that left chunks open fails).
bool CloseStream();

uint32_t GetStreamVersion();
// kStreamStore, kStreamLoad, or 0 without a current stream.
int StreamMode();
// Whether the current or last stream failed, and why (the first failure).
bool StreamFailed();
const std::string& StreamError();

// Opens a nested chunk. Storing writes the tag; loading reads the next
// chunk's tag into it, or sets it to 0 when the enclosing chunk has no more
// chunks. Returns the header bytes moved (8).
uint32_t BeginChunk(uint32_t& tag);
// Closes the innermost chunk: storing writes its size, loading skips what
// was not read. Returns the chunk's size.
uint32_t EndChunk();
// What is left of the innermost chunk to load; unbounded while storing.
uint32_t ChunkBytesLeft();
// Loading: the tag of the next chunk in the innermost chunk, without moving;
// 0 when there is none (or while storing).
uint32_t PeekChunkTag();

// Raw bytes, without a length, clamped to the chunk. Returns the bytes moved.
uint32_t TransferInChunk(void* buffer, uint32_t count);
// A u32 length and that many bytes. Loading takes at most capacity bytes,
// skips the rest of a longer stored field and leaves the buffer's tail
// alone after a shorter one. Returns 4 plus the bytes moved into buffer.
uint32_t TransferSized(void* buffer, uint32_t capacity);
// Moves forward within the chunk (storing: over zero bytes). Returns the
// distance.
uint32_t SkipInChunk(uint32_t count);
// A u32 byte count that includes the terminating zero, the characters, the
// zero. Returns the bytes after the count.
uint32_t SerializeString(std::string& text);

// A list: u32 count, u32 element size, then the elements. Storing writes
// count and elementSize; loading reads both, checks that the elements fit
// in the chunk (else the stream fails) and returns the stored element size
// for TransferListElement. 0, with count left as it was, when the chunk
// holds no list or a damaged one.
uint32_t TransferListHeader(uint32_t& count, uint32_t elementSize);
// One element of a list: loading takes at most elementSize bytes of the
// stored element and skips the rest of it.
uint32_t TransferListElement(void* element, uint32_t elementSize, uint32_t storedSize);

// One list element transferred field by field, between the two calls:
// loading clamps every transfer to the element's stored size and EndListRecord
// skips what was not read; storing fails the stream when the element's bytes
// differ from the size its list header gave. Returns the element's bytes.
uint32_t BeginListRecord(uint32_t storedSize);
uint32_t EndListRecord();

// Flat blocks: a tag, a u32 size of the payload alone, then sized fields.
// One block at a time; its bytes count towards the enclosing chunk.
uint32_t BeginBlock(uint32_t& tag);
uint32_t TransferSizedInBlock(void* buffer, uint32_t capacity);
// Storing writes the block's size, loading skips what was not read. Returns
// the payload bytes moved.
uint32_t EndBlock();

// Walks an object's tag list, the usual way to serialise an object: storing
// writes one chunk per tag and the closing chunk of tag 0. Loading reads
// chunks up to the one of tag 0, but never more than the list has entries
// (its tags and the closing 0), so that an object whose closing chunk is
// missing cannot take the next object's chunks with it; a closing chunk
// right after those is still taken, so that a file with one tag this
// program does not know still leaves the stream at the object's end.
// fields(tag) transfers the fields of each tag other than 0; it ignores tags
// it does not know, which EndChunk then skips.
template <typename Fields>
void TransferTagList(std::span<const uint32_t> tags, Fields&& fields) {
    const size_t entries = tags.size() + (tags.empty() || tags.back() != 0 ? 1 : 0);
    for (size_t i = 0; i < entries; ++i) {
        uint32_t tag = i < tags.size() ? tags[i] : 0;
        BeginChunk(tag);
        if (tag != 0)
            fields(tag);
        EndChunk();
        if (tag == 0)
            return;
    }
    if (StreamMode() == kStreamLoad && PeekChunkTag() == 0 && ChunkBytesLeft() >= 8) {
        uint32_t tag = 0;
        BeginChunk(tag);
        EndChunk();
    }
}
