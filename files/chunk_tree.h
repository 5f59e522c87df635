// The tree of chunks of a saved game or island, for inspection: one line per
// chunk with its tag, size and position, nested chunks indented; a
// compressed save is expanded first. A chunk's payload counts as nested
// chunks when it divides exactly into chunks with printable tags; anything
// else is fields.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The lines describing the file's bytes: for a compressed save a line with
// its sizes, then the header's version and text, then the chunks. False,
// with error saying why, when the bytes are no chunk file or a damaged one.
// The header text is the file's own: escape it before it reaches a
// terminal.
bool DescribeChunkFile(std::span<const uint8_t> bytes, std::vector<std::string>& lines, std::string& error);
