// The cut applied to text dropped into a field: the bytes before the first NUL (at most 260, and
// never past the end of the block, which need not hold a NUL), then the first line only, at most
// the field's limit, never ending inside a double-byte character.
// Pure, so it builds natively for the host tests with an injected character stepper.
#include "app/drop_text.h"

namespace {
constexpr size_t DropCopyLimit = 260;
}

void CutDropText(char* buffer, const char* source, size_t size, size_t limit, DropCharacterStep step) {
  size_t length = 0;
  while (length < DropCopyLimit && length < size && source[length] != '\0') {
    buffer[length] = source[length];
    ++length;
  }
  buffer[length] = '\0';

  const char* const end = buffer + length;
  const char* kept = buffer;
  while (kept < end && *kept != '\r') {
    const char* next = step(kept);
    // A stepper that stalls, or a lead byte whose trail byte is missing, ends the walk.
    if (next <= kept || next > end) break;
    if (static_cast<size_t>(next - buffer) > limit) break;
    kept = next;
  }
  buffer[kept - buffer] = '\0';
}
