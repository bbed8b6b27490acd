// In-memory byte streams named by handles, for handing a record to a worker thread and back,
// and for reading a text line by line. The registry of open streams is process-wide and safe
// to use from several threads; one stream is used by one thread at a time.
#pragma once

#include <cstdint>

#include "text/Types.h"

namespace quelpath {

using StreamHandle = int32_t;  // non-zero while open

StreamHandle Stream_Open();              // 0, which names no stream, when memory runs out
void Stream_Close(StreamHandle handle);  // a handle that is not open is ignored
// The operations below fail (false, empty text, at end) on a handle that is not open.
bool Stream_SeekStart(StreamHandle handle);
bool Stream_WriteText(StreamHandle handle, const Text& text);
// The bytes as they are, zero bytes included (no length field, no terminator).
bool Stream_WriteBytes(StreamHandle handle, const Bytes& bytes);
// The next line: up to LF, NUL or 0x1A (never a second byte of a two-byte character), without
// a final CR; the position moves past that byte, or to the end when there is none, so a loop
// of Stream_ReadLine while !Stream_AtEnd always ends. Empty at the end of the data. A lead byte
// at the very end stays in the last line; a NUL that a lead byte takes along ends the returned
// text there (a Text holds no NUL).
Text Stream_ReadLine(StreamHandle handle);
bool Stream_AtEnd(StreamHandle handle);
// Each member as a 4-byte little-endian length and its bytes; no count, no end mark. Writes
// fail (false, position kept) only when memory runs out or a member is longer than INT32_MAX.
bool Stream_WriteBytesList(StreamHandle handle, const BytesList& list);
// Reads as many members as `list` holds; on a short stream (or a member longer than a Bytes
// can be) returns false and leaves the list and the position as they were.
bool Stream_ReadBytesList(StreamHandle handle, BytesList& list);

}  // namespace quelpath
