// The installation's shared state: the payload manifest (what an installation creates, in order),
// the one process-wide SetupState record, and the small operations on them that every part uses.
#pragma once
#include <cstdint>
#include "platform/platform.h"

enum EntryKind : uint16_t {
  KindFile = 1,       // extracted into the folder from the program's own file
  KindShortcut = 2,   // Start-menu shortcut to the file of the row before it
  KindLaterFile = 6,  // appears in the folder after installation; only removed
};

// What the steps of a KindFile row do: copy its stored bytes, expand an SZDD file into the name
// ending in "_", read the finished file back for its CRC-32. The uninstaller copy's row appends
// the copy's certificate table after its bytes.
enum StepPhase : uint16_t { PhaseCopy = 0, PhaseExpand = 1, PhaseVerify = 2, PhaseSignature = 3 };

struct PayloadEntry {
  uint16_t kind;
  const char* name;
  uint32_t expectedCrc;  // CRC-32 of the file as finally installed; 0: not verified
};

constexpr int PayloadEntryCount = 6;
extern const PayloadEntry PayloadManifest[PayloadEntryCount];
inline const PayloadEntry* ManifestEnd() { return PayloadManifest + PayloadEntryCount; }

constexpr unsigned PathSize = 260;      // MAX_PATH: every path buffer, terminator included
constexpr unsigned FolderLimit = 195;   // characters of the install folder
constexpr unsigned GroupLimit = 64;     // characters of the Start-menu group name
constexpr unsigned ChunkSize = 8192;    // bytes per installation step
constexpr uint16_t FirstPayloadId = 2000;
constexpr uint16_t PayloadType = 256;
constexpr uint16_t CopySignatureId = 2003;  // after the payload: the uninstaller copy's signature

// The last bytes of resource 2003, written by the build's signing step; its certificate table
// starts the resource.
struct CopySignature {
  uint32_t tableSize;  // 0: an unsigned build, whose copy carries no signature
  uint32_t checkSum;   // the header checksum of the signed copy
};

extern const char* const PublicationTitle;   // "Quorvel"
extern const char* const DefaultGroupName;   // "Statorix"
extern const char* const DefaultFolder;      // "C:\\Program Files\\xan"
extern const char* const InstallRecordName;  // "KavriL.dat"
extern const char* const BegunRecordName;    // "KavriB.dat"
extern const char* const SettingsFileName;   // "kavri.ini"
extern const char* const ViewerName;         // "Kavri.exe"

// Whom an installation is for: everyone on the machine (the uninstall entry under
// HKEY_LOCAL_MACHINE, kavri.ini in the Windows directory, the all-users Start menu), or the current
// user alone (HKEY_CURRENT_USER, kavri.ini and the default folder in the user's local application
// data, the user's own Start menu). Undecided counts as machine-wide.
enum InstallScope : uint16_t { KindScopeUndecided = 0, KindScopeMachine = 1, KindScopeUser = 2 };

// The bytes a complete installation counts; fixed when the program is built.
extern const uint32_t ProgressTotal;

struct SetupState {
  char folder[FolderLimit + 1];
  char workPath[PathSize];
  uint16_t folderPrefixLength;
  uint16_t rootPrefixLength;
  char ownPath[PathSize];
  uint16_t ownDirLength;
  char uninstallKeyPath[PathSize];
  char groupName[GroupLimit + 1];
  char uninstallerPath[PathSize];
  // Length of the highest folder of the chain that the installation created itself (0: none);
  // that folder and those below it down to the installation folder are the installation's own.
  uint16_t createdFolderLength;
  // Where the running uninstaller copy was moved out of the folder ("" when it was not).
  char movedCopyPath[PathSize];

  bool payloadPresent;
  bool installing;
  bool installed;
  bool partiallyInstalled;
  bool openAvailable;
  bool installedThisRun;
  bool selfDeletePending;
  bool filesInUse;  // the last check found a file of the installation held by another program
  uint16_t allUsers;
  uint16_t scope;  // an InstallScope, set before the dialog starts (SetInstallScope)

  const PayloadEntry* cursor;
  uint16_t nextResourceId;
  uint32_t bytesRemaining;
  uint32_t expectedSize;
  uint32_t chunkFileOffset;
  uint32_t bytesDone;
  uint16_t stepPhase;      // of the current KindFile row: PhaseCopy, PhaseExpand, PhaseVerify, PhaseSignature
  uint32_t expandedBytes;  // written into the temporary file of the expansion under way
  uint32_t runningCrc;     // of the file being read back

  LzHandle lzHandle;      // NoLz when none
  FileHandle outputFile;  // NoFile when none
  FileHandle sourceFile;

  uint32_t rvaToFileDelta;
  uint32_t truncatedSectionSize;
  CopySignature copySignature;
  uint32_t copyTablePosition;  // in the program's file
  bool copySignatureRead;      // false: the program's file ends before the end of resource 2003

  unsigned char chunk[ChunkSize];
};

extern SetupState setup;

// Zero-fills the record and marks both handles as not open.
void ResetSetupState();

const PayloadEntry* FirstFileEntry();

// Cuts workPath back to the folder prefix (the folder and one backslash).
void ResetWorkPath();

// ResetWorkPath, then appends name; false (workPath left at the prefix) when it would not fit.
bool ComposeWorkPath(const char* name);

// True (after telling the user) when another program holds a file of the installation open.
bool CheckFilesInUse();
