// The settings file "kavri.ini": group, folder and all-users choice in section "Installed", and
// the one key of section "Settings" that uninstall removes. Machine-wide it lies in the Windows
// directory (named without a folder, the profile functions keep it there); for the current user
// alone in the user's local application data, beside the folder "Programs" that holds such
// installations: a file of its own needs no folder to be made for it or left behind, and local
// rather than roaming, since the folder it names is on this computer only.
#include "registration/settings_file.h"
#include <cstring>
#include "install/folder_rules.h"
#include "install/setup_state.h"

static const char* const InstalledSection = "Installed";
const char* const CreatedFolderKey = "CreatedFolder";
const char* const CreatedGroupKey = "CreatedGroup";
static const char* const CreatedForKey = "CreatedFor";

// Without a local application data folder, the user's settings cannot be kept apart: the
// Windows directory's file is read, and writes to it fail as the rest of a machine-wide one would.
static const char* SettingsFile() {
  static char userFile[PathSize];
  bool forUser = setup.scope == KindScopeUser && ComposeLocalDataPath(userFile, "\\kavri.ini");
  return forUser ? userFile : SettingsFileName;
}

uint16_t ReadSettingsInt(const char* key, uint16_t fallback) {
  return static_cast<uint16_t>(ReadProfileNumber(SettingsFile(), InstalledSection, key, fallback));
}

void WriteSettingsInt(const char* key, uint16_t value) {
  char text[8];
  text[0] = '\0';
  if (!AppendNumber(text, value)) return;
  WriteSettingsText(key, text);
}

void ReadGroupAndFolder() {
  ReadSettingsText("Group", setup.groupName, sizeof setup.groupName, DefaultGroupName);
  ReadSettingsText("Folder", setup.folder, sizeof setup.folder);
}

void WriteGroupAndFolder() {
  WriteSettingsText("Group", setup.groupName);
  WriteSettingsText("Folder", setup.folder);
}

void DeleteOfferPerchVersion() { WriteProfileText(SettingsFile(), "Settings", "OfferPerchVersion", nullptr); }

void ReadSettingsText(const char* key, char* buffer, uint32_t size, const char* fallback) {
  ReadProfileText(SettingsFile(), InstalledSection, key, fallback, buffer, size);
}

void WriteSettingsText(const char* key, const char* text) {
  WriteProfileText(SettingsFile(), InstalledSection, key, text);
}

// "CreatedFor" holds the created folder, "*" (which no path holds) and the installation folder it
// was made for: a record whose two keys disagree, as after a hand edit of one of them, is ignored.
static bool ComposeCreatedFor(char* text, const char* created) {
  text[0] = '\0';
  return AppendText(text, PathSize * 2, created) && AppendText(text, PathSize * 2, "*") &&
         AppendText(text, PathSize * 2, setup.folder);
}

// The recorded highest created folder when the record was written for setup.folder; "" otherwise.
static void ReadCreatedFolderOfThisFolder(char* created) {
  char recorded[PathSize * 2], expected[PathSize * 2];
  ReadSettingsText(CreatedFolderKey, created, PathSize);
  ReadSettingsText(CreatedForKey, recorded, sizeof recorded);
  bool same = created[0] != '\0' && ComposeCreatedFor(expected, created);
  if (same) {
    UpperCaseText(recorded);
    UpperCaseText(expected);
    same = strcmp(recorded, expected) == 0;
  }
  if (!same) created[0] = '\0';
}

void DeleteCreatedFolderRecord() {
  WriteSettingsText(CreatedForKey, nullptr);
  WriteSettingsText(CreatedFolderKey, nullptr);
}

// The key that ties the record to its folder is written last: a run stopped in between leaves a
// record that is ignored, never one that pairs a new folder with an old record.
void RecordCreatedFolders() {
  char created[PathSize];
  created[0] = '\0';
  if (setup.createdFolderLength == 0) {
    ReadCreatedFolderOfThisFolder(created);
    if (created[0] == '\0') DeleteCreatedFolderRecord();
    return;
  }
  char createdFor[PathSize * 2];
  if (!AppendTextPart(created, sizeof created, setup.folder, setup.createdFolderLength) ||
      !ComposeCreatedFor(createdFor, created))
    return;
  WriteSettingsText(CreatedForKey, nullptr);
  WriteSettingsText(CreatedFolderKey, created);
  WriteSettingsText(CreatedForKey, createdFor);
}

uint16_t ReadCreatedFolderLength() {
  char created[PathSize];
  ReadCreatedFolderOfThisFolder(created);
  size_t length = strlen(created);
  // A drive root is never the installation's to remove.
  if (length <= setup.rootPrefixLength || !FolderLiesWithin(setup.folder, created)) return 0;
  return static_cast<uint16_t>(length);
}
