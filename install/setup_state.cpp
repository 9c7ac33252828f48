// The payload manifest, the process-wide SetupState and the in-use test.
#include "install/setup_state.h"
#include <cstring>
#include "payload_constants.h"

const char* const PublicationTitle = "Quorvel";
const char* const DefaultGroupName = "Statorix";
const char* const DefaultFolder = "C:\\Program Files\\xan";
const char* const InstallRecordName = "KavriL.dat";
const char* const BegunRecordName = "KavriB.dat";
const char* const SettingsFileName = "kavri.ini";
const char* const ViewerName = "Kavri.exe";

// Resource ids go to the KindFile rows after the first, in this order: 2000, 2001, 2002.
const PayloadEntry PayloadManifest[PayloadEntryCount] = {
    {KindFile, "kavriset.exe", 0},
    {KindLaterFile, "KavriV.ini", 0},
    {KindFile, "Kavri1.DAT", PayloadCrcKavri1},
    {KindFile, "Kavri0.DAT", PayloadCrcKavri0},
    {KindFile, "Kavri.exe", PayloadCrcViewer},
    {KindShortcut, "Quorvel", 0},
};

SetupState setup;

void ResetSetupState() {
  memset(&setup, 0, sizeof setup);
  setup.lzHandle = NoLz;
  setup.outputFile = NoFile;
  setup.sourceFile = NoFile;
}

const PayloadEntry* FirstFileEntry() {
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry)
    if (entry->kind == KindFile) return entry;
  return PayloadManifest;
}

void ResetWorkPath() {
  if (setup.folderPrefixLength < PathSize) setup.workPath[setup.folderPrefixLength] = '\0';
}

bool ComposeWorkPath(const char* name) {
  ResetWorkPath();
  return AppendText(setup.workPath, name);
}

// A file counts as in use when it is there but cannot be opened for exclusive reading: another
// program has it open, whether it lets readers in or shares nothing at all.
static bool FileIsHeldByAnother(const char* name) {
  if (!ComposeWorkPath(name)) return false;
  if (!FileIsPresent(setup.workPath)) return FileIsListed(setup.workPath);
  FileHandle file = OpenUnshared(setup.workPath);
  if (file == NoFile) return true;
  CloseFile(file);
  return false;
}

bool CheckFilesInUse() {
  bool inUse = FileIsHeldByAnother(InstallRecordName);
  for (const PayloadEntry* entry = FirstFileEntry() + 1; entry != ManifestEnd() && !inUse; ++entry)
    if (entry->kind == KindFile) inUse = FileIsHeldByAnother(entry->name);
  ResetWorkPath();
  setup.filesInUse = inUse;
  if (inUse)
    ShowMessage("Quit access to the publication first.\nChoose Exit from its main File menu,\n"
                " or right click the Perch and Exit.",
                "Publication in use", MB_OK);
  return inUse;
}
