// The uninstaller copy: the program's own file cut at the first payload byte, its header patched
// as the chunks go by and, in a signed build, its certificate table after it; and the start-up
// test whether the running file still carries the payload.
#pragma once
#include <cstdint>

void InspectOwnImage();
void ReadCopySignature();
void PatchChunkField(uint32_t filePosition, unsigned width, uint32_t value);
void PatchCopyHeader();
