// The install folder rules: the default folder, the canonical root from the platform's parser and
// the canonical parts after it, the 195-byte limit cut at a character boundary, the working path
// with its prefix lengths; the directory chain made at install start; the Browse button's folder browser.
#include "install/folder_rules.h"
#include <cstring>
#include "install/setup_state.h"
#include "platform/browse.h"

static const char* StepWith(CharacterStep step, const char* text) {
  return step ? step(text) : NextCharacter(text);
}

// One character on, at least one byte; never called on the terminator.
static char* StepOver(char* text, CharacterStep step) {
  const char* next = StepWith(step, text);
  return next > text ? const_cast<char*>(next) : text + 1;
}

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the last part of the canonical text [text, end) starts.
static char* LastPartStart(char* text, char* end, CharacterStep step) {
  char* start = text;
  for (char* character = text; character < end; character = StepOver(character, step))
    if (*character == '\\') start = character + 1;
  return start;
}

// Every later comparison (the created folder on record, a shortcut's resolved target, the chain
// that Uninstall climbs) is of text, so only one spelling of a folder may ever reach them.
bool CanonicaliseFolderRest(char* rest, CharacterStep step) {
  // The written text never outruns the read one, so the rewrite can share the buffer.
  char* out = rest;
  char* in = rest;
  for (;;) {
    while (IsSeparator(*in)) ++in;
    if (*in == '\0') break;
    if (out != rest) *out++ = '\\';
    char* part = out;
    char* kept = out;  // after the last character that is neither a dot nor a space
    while (*in != '\0' && !IsSeparator(*in)) {
      char* next = StepOver(in, step);
      bool dotOrSpace = next - in == 1 && (*in == '.' || *in == ' ');
      while (in < next) *out++ = *in++;
      if (!dotOrSpace) kept = out;
    }
    bool dot = out - part == 1 && part[0] == '.';
    bool dotDot = out - part == 2 && part[0] == '.' && part[1] == '.';
    if (dot || dotDot) {
      out = part == rest ? rest : part - 1;
      if (dotDot && out != rest) {
        char* previous = LastPartStart(rest, out, step);
        out = previous == rest ? rest : previous - 1;
      }
      continue;
    }
    if (kept == part) return false;
    out = kept;
  }
  *out = '\0';
  return true;
}

// A cut canonical text may end in a part's dots or spaces, or in a part of nothing else; both go,
// the latter with its separator, as canonicalisation would have taken them.
static void TrimCutRest(char* rest) {
  char* kept = rest;
  for (char* character = rest; *character;) {
    char* next = StepOver(character, nullptr);
    if (next - character != 1 || (*character != '.' && *character != ' ' && *character != '\\')) kept = next;
    character = next;
  }
  *kept = '\0';
}

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) int FindSeparator(int count, const char* text, char character, CharacterStep step) {
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
static unsigned FittingRestLength(char* rest, unsigned rootLength, bool* cut) {
  char* character = rest;
  *cut = false;
  while (*character) {
    char* next = StepOver(character, nullptr);
    if (rootLength + static_cast<unsigned>(next - rest) > FolderLimit) {
      *cut = true;
      break;
    }
    character = next;
  }
  return static_cast<unsigned>(character - rest);
}

// A refused folder keeps its parts as typed: only its separators are unified and one trailing
// backslash dropped, stepping by characters so that a trail byte is never taken for a separator.
static void TidyRest(char* rest) {
  char* last = nullptr;
  for (char* character = rest; *character;) {
    if (*character == '/') *character = '\\';
    last = character;
    character = StepOver(character, nullptr);
  }
  if (last && *last == '\\' && last[1] == '\0') *last = '\0';
}

// For the current user alone the default is "Programs\xan" in the user's local application data,
// where installations for one user go; it is composed in workPath, which is long enough for any
// shell folder, and taken only when it keeps to the folder's length limit.
static void ComposeDefaultFolder() {
  if (setup.scope == KindScopeUser && ComposeLocalDataPath(setup.workPath, "\\Programs\\xan") &&
      CopyText(setup.folder, setup.workPath))
    return;
  CopyText(setup.folder, DefaultFolder);
}

// The folder as typed, copied into workPath with its typed root scanned; the root's length.
static unsigned CopyTypedFolder() {
  CopyText(setup.workPath, setup.folder);
  return ScanTypedRoot(setup.workPath);
}

bool NormaliseFolder() {
  bool accepted = true;
  if (setup.folder[0] == '\0') ComposeDefaultFolder();
  unsigned typedRoot = CopyTypedFolder();
  // Rewritten in the copy, so that a refused folder is shown as it was typed.
  if (!CanonicaliseFolderRest(setup.workPath + typedRoot)) {
    accepted = false;
    CopyTypedFolder();
  }
  CopyText(setup.folder, setup.workPath);
  unsigned rootLength = typedRoot;
  bool parsed = false;

  // The probe lives in the chunk scratch area: the typed root and one letter to qualify.
  char* probe = reinterpret_cast<char*>(setup.chunk);
  char* qualified = probe + PathSize;
  probe[0] = '\0';
  AppendTextPart(probe, PathSize, setup.workPath, typedRoot);
  AppendText(probe, PathSize, "x");
  if (ParseFileName(probe, qualified, PathSize) && qualified[0] != '\0') {
    rootLength = static_cast<unsigned>(strlen(qualified)) - 1;
    setup.rootPrefixLength = static_cast<uint16_t>(rootLength);
    char* rest = setup.folder + typedRoot;
    bool cut = false;
    unsigned restLength = FittingRestLength(rest, rootLength, &cut);
    if (cut) {
      rest[restLength] = '\0';
      TrimCutRest(rest);
      accepted = false;
    }
    parsed = true;
    qualified[rootLength] = '\0';
    ConvertOemToAnsi(qualified, setup.workPath, PathSize);
    AppendText(setup.workPath, rest);
  }

  bool restPresent = setup.workPath[rootLength] != '\0';
  TidyRest(setup.workPath + rootLength);
  // A folder that comes to its base directory itself ("C:", "Books\.." typed) is named as that
  // directory would be typed, without the trailing backslash, so that normalising it again gives
  // the same text; the whole of it is then the part that already exists.
  if (parsed && !restPresent && rootLength > 3 && setup.workPath[rootLength - 1] == '\\') {
    setup.workPath[--rootLength] = '\0';
    setup.rootPrefixLength = static_cast<uint16_t>(rootLength);
    restPresent = true;
  }
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
