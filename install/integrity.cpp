// Reading an installed file back through the chunk buffer and comparing its CRC-32 with the
// manifest row's expected value, so a damaged download is caught before completion. The step
// machine reads one chunk per step, so a large file never holds up the dialog.
#include "install/integrity.h"
#include "install/crc32.h"
#include "install/setup_state.h"

// The file stays open in outputFile: the step machine closes it, or its stop does.
bool OpenVerification() {
  setup.runningCrc = 0xFFFFFFFFu;
  ReportSetupChange(KindVerifyBegun);
  setup.outputFile = OpenForRead(setup.workPath);
  return setup.outputFile != NoFile;
}

// A file whose length is a multiple of the chunk ends with a read of 0 bytes.
VerifyOutcome VerifyNextChunk() {
  long read = ReadBlock(setup.outputFile, setup.chunk, ChunkSize);
  if (read < 0) return VerifyFailed;
  setup.runningCrc = Crc32Update(Crc32Polynomial, setup.runningCrc, setup.chunk, static_cast<size_t>(read));
  if (read == static_cast<long>(ChunkSize)) return VerifyMore;
  return ~setup.runningCrc == setup.cursor->expectedCrc ? VerifyMatched : VerifyFailed;
}

bool VerifyFile() {
  if (!OpenVerification()) return false;
  VerifyOutcome outcome;
  do outcome = VerifyNextChunk();
  while (outcome == VerifyMore);
  return outcome == VerifyMatched;
}
