// Reading an installed file back and comparing its CRC-32 with the manifest.
#pragma once

bool VerifyFile();
