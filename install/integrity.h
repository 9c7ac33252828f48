// Reading an installed file back, one chunk per step, and comparing its CRC-32 with the manifest.
#pragma once

enum VerifyOutcome { VerifyMore, VerifyMatched, VerifyFailed };

// Shows the status, opens workPath into outputFile and starts the running CRC; false when the file
// cannot be opened, which fails the check.
bool OpenVerification();

// Feeds the next chunk of outputFile to the running CRC: VerifyMore until the file has ended.
VerifyOutcome VerifyNextChunk();

// The whole check at once: OpenVerification, then every chunk.
bool VerifyFile();
