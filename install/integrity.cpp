// Reading an installed file back through the chunk buffer and comparing its CRC-32 with the
// manifest row's expected value, so a damaged download is caught before completion.
#include "install/integrity.h"
#include "install/crc32.h"
#include "install/setup_state.h"
#include "resources/resource_ids.h"

// The file stays open in outputFile: the step machine closes it, or its stop does.
bool VerifyFile() {
  uint32_t crc = 0xFFFFFFFFu;
  char status[64] = "Verifying integrity of  ";
  AppendText(status, setup.cursor->name);
  SetControlText(IDC_HINT_PANEL, status);

  setup.outputFile = OpenForRead(setup.workPath);
  if (setup.outputFile == NoFile) return false;
  long read;
  do {
    read = ReadBlock(setup.outputFile, setup.chunk, ChunkSize);
    if (read < 0) return false;
    crc = Crc32Update(Crc32Polynomial, crc, setup.chunk, static_cast<size_t>(read));
  } while (read == static_cast<long>(ChunkSize));
  return ~crc == setup.cursor->expectedCrc;
}
