// The install folder rules: the default folder, one kind of separator, the canonical root from the
// platform's parser, the 195-byte limit cut at a character boundary, the working path with its
// prefix lengths; the directory chain made at install start; the Browse button's folder browser.
#include "install/folder_rules.h"
#include <cstring>
#include "install/setup_state.h"
#include "platform/browse.h"

static const char* StepWith(CharacterStep step, const char* text) {
  return step ? step(text) : NextCharacter(text);
}

int FindSeparator(int count, const char* text, char character, CharacterStep step) {
  int offset = 0;
  while (offset < count) {
    if (text[offset] == character) return offset;
    // The walk does not stop at the terminator, but the stepper does not move over it.
    int advance = static_cast<int>(StepWith(step, text + offset) - (text + offset));
    offset += advance > 0 ? advance : 1;
  }
  return offset;
}

// The typed root: an optional drive letter and colon, then every separator up to the first
// other character. Forward slashes passed over become backslashes.
static unsigned ScanTypedRoot(char* path) {
  unsigned length = 0;
  if (path[0] != '\0' && path[1] == ':') length = 2;
  while (path[length] == '\\' || path[length] == '/') path[length++] = '\\';
  return length;
}

// The byte length of the longest run of whole characters of `rest` that keeps root + run within
// the folder limit; *cut is set when the run is shorter than the rest.
static unsigned FittingRestLength(const char* rest, unsigned rootLength, bool* cut) {
  const char* character = rest;
  *cut = false;
  while (*character) {
    const char* next = NextCharacter(character);
    if (next == character) next = character + 1;
    if (rootLength + static_cast<unsigned>(next - rest) > FolderLimit) {
      *cut = true;
      break;
    }
    character = next;
  }
  return static_cast<unsigned>(character - rest);
}

// Unifies the separators after the root and drops one trailing backslash, stepping by characters
// so that the trail byte of a double-byte character is never taken for a separator.
static void TidyRest(char* rest) {
  char* last = nullptr;
  for (char* character = rest; *character;) {
    if (*character == '/') *character = '\\';
    last = character;
    char* next = const_cast<char*>(NextCharacter(character));
    character = next == character ? character + 1 : next;
  }
  if (last && *last == '\\' && last[1] == '\0') *last = '\0';
}

bool NormaliseFolder() {
  bool accepted = true;
  if (setup.folder[0] == '\0') CopyText(setup.folder, DefaultFolder);
  CopyText(setup.workPath, setup.folder);
  unsigned typedRoot = ScanTypedRoot(setup.workPath);
  unsigned rootLength = typedRoot;

  // The probe lives in the chunk scratch area: the typed root and one letter to qualify.
  char* probe = reinterpret_cast<char*>(setup.chunk);
  char* qualified = probe + PathSize;
  probe[0] = '\0';
  AppendTextPart(probe, PathSize, setup.workPath, typedRoot);
  AppendText(probe, PathSize, "x");
  if (ParseFileName(probe, qualified, PathSize) && qualified[0] != '\0') {
    rootLength = static_cast<unsigned>(strlen(qualified)) - 1;
    setup.rootPrefixLength = static_cast<uint16_t>(rootLength);
    const char* rest = setup.folder + typedRoot;
    bool cut = false;
    unsigned restLength = FittingRestLength(rest, rootLength, &cut);
    if (cut) {
      setup.folder[typedRoot + restLength] = '\0';
      accepted = false;
    }
    qualified[rootLength] = '\0';
    ConvertOemToAnsi(qualified, setup.workPath, PathSize);
    AppendTextPart(setup.workPath, PathSize, rest, restLength);
  }

  bool restPresent = setup.workPath[rootLength] != '\0';
  TidyRest(setup.workPath + rootLength);
  CopyText(setup.folder, setup.workPath);
  if (restPresent) AppendText(setup.workPath, "\\");
  setup.folderPrefixLength = static_cast<uint16_t>(strlen(setup.workPath));
  return accepted;
}

void CreateFolderChain() {
  int prefix = setup.folderPrefixLength;
  int position = setup.rootPrefixLength;
  const int lastInFolder = static_cast<int>(sizeof setup.folder) - 1;
  setup.createdFolderLength = 0;
  for (;;) {
    if (position > lastInFolder) return;
    position += FindSeparator(prefix - position - 1, setup.folder + position, '\\');
    if (position > lastInFolder) return;
    char kept = setup.folder[position];
    setup.folder[position] = '\0';
    // An existing or unmakeable level does not stop the chain.
    if (MakeDirectory(setup.folder) && setup.createdFolderLength == 0)
      setup.createdFolderLength = static_cast<uint16_t>(position);
    setup.folder[position] = kept;
    if (position >= prefix - 1) return;
    ++position;
  }
}

bool FolderLiesWithin(const char* folder, const char* top) {
  char upperFolder[PathSize];
  char upperTop[PathSize];
  if (top[0] == '\0' || !CopyText(upperFolder, folder) || !CopyText(upperTop, top)) return false;
  UpperCaseText(upperFolder);
  UpperCaseText(upperTop);
  size_t length = strlen(upperTop);
  return strlen(upperFolder) >= length && memcmp(upperFolder, upperTop, length) == 0 &&
         (upperFolder[length] == '\0' || upperFolder[length] == '\\');
}

bool IsSameFolder(const char* first, const char* second) {
  return FolderLiesWithin(first, second) && strlen(first) == strlen(second);
}

bool BrowseForFolder(const char* title, char* destination, unsigned limit) {
  char chosen[PathSize];
  if (!BrowseFolderDialog(DialogWindow(), title, setup.folder, chosen)) return false;
  if (strlen(chosen) >= limit) return false;
  return CopyText(destination, limit, chosen);
}
