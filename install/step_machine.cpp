// The posted installation steps: StartInstall's checks, one chunk per step from the program's own
// file into the folder (the uninstaller copy first, header-patched, with its certificate table
// from resource 2003 in a signed build), expansion of SZDD files,
// verification, and the completion that registers the publication and writes the InstallRecord.
// The state is recorded in the folder before it becomes true (state_records.h); the dialog hears
// of every change through ReportSetupChange and decides what it shows.
#include "install/step_machine.h"
#include <cstring>
#include "install/folder_rules.h"
#include "install/integrity.h"
#include "install/progress_meter.h"
#include "install/self_copy.h"
#include "install/setup_state.h"
#include "install/state_records.h"
#include "registration/install_scope.h"
#include "registration/program_group.h"
#include "registration/settings_file.h"
#include "registration/uninstall_entry.h"
#include "removal/uninstall.h"

uint32_t stepsRun;

static const char* const IncompleteText = "Your data file is incomplete.\nPlease download the publication again.";
static const char* const CreateText = "Unable to create this file";
static const char* const ReadText = "Read error, obtain a new copy of the publication";
static const char* const WriteText = "Write error, check disk space";
static const char* const ExpandText = "Decompression failed. Your computer's resources may be low";
static const char* const IntegrityText = "Integrity test failed, obtain a new copy of the publication";

static void FailStep(const char* text, const char* caption, unsigned style) {
  ShowMessage(text, caption, style);
  StopInstallation();
}

// The failures of a step come in three kinds, each told the same way wherever it happens: the
// program's own file lacks what the row needs, a file in the folder cannot be created, or the
// current file failed otherwise (named in the caption).
static void FailIncomplete() { FailStep(IncompleteText, setup.ownPath, MB_ICONWARNING); }
static void FailCreate() { FailStep(CreateText, setup.workPath, MB_OK); }
static void FailOnFile(const char* text) { FailStep(text, setup.workPath, MB_ICONWARNING); }

void CloseStepHandles() {
  if (setup.lzHandle != NoLz) {
    CloseLz(setup.lzHandle);  // closes sourceFile with it
    setup.lzHandle = NoLz;
    setup.sourceFile = NoFile;
  }
  if (setup.outputFile != NoFile) {
    CloseFile(setup.outputFile);
    setup.outputFile = NoFile;
  }
}

// A posted command runs steps back to back for up to StepBudget, because under Wine the post and
// the drain cost about as much as copying a chunk. The run ends before the completion and as soon
// as the queue, looked at every QueueLook, holds anything: a repaint, the hint timer, another
// program's sent message, the user's input. While the user is at work (at the start, and until
// StepBudget has gone by since input or a posted message last waited; Exit is a posted click) a
// posted command takes one step only, so that the dialog follows the user step by step.
constexpr uint32_t StepBudgetMilliseconds = 10;
constexpr uint32_t QueueLookMilliseconds = 1;
constexpr uint32_t UserMessageKinds = QS_INPUT | QS_POSTMESSAGE;
static bool runningSteps, stepWanted, userAway;
static uint32_t runStarted, queueLooked, userSeen;

static bool RunMayGoOn() {
  if (!runningSteps || !setup.installing || setup.cursor == ManifestEnd()) return false;
  uint32_t now = SteadyCount(), perMillisecond = SteadyCountsPerMillisecond();
  uint32_t budget = StepBudgetMilliseconds * perMillisecond;
  if (!userAway) {
    if (QueuedMessageKinds(UserMessageKinds)) userSeen = now;
    else if (now - userSeen >= budget) userAway = true;
    return false;
  }
  if (now - runStarted >= budget) return false;
  if (now - queueLooked < QueueLookMilliseconds * perMillisecond) return true;
  queueLooked = now;
  uint32_t waiting = QueuedMessageKinds(QS_ALLINPUT);
  if (waiting & UserMessageKinds) {
    userAway = false;
    userSeen = now;
  }
  return waiting == 0;
}

// The user has just pressed Install: the first steps go one per posted command.
static void ExpectUser() {
  userAway = false;
  userSeen = SteadyCount();
}

void PumpAndContinue() {
  if (RunMayGoOn()) {
    stepWanted = true;
    return;
  }
  DrainMessages();
  if (setup.installing) PostStepCommand();
}

void RunInstallSteps() {
  runningSteps = true;
  runStarted = queueLooked = SteadyCount();
  do {
    stepWanted = false;
    InstallStep();
  } while (stepWanted && setup.installing);
  runningSteps = false;
}

void StopInstallation() {
  setup.installing = false;
  DiscardPostedSteps();
  CloseStepHandles();
  ReportSetupChange(KindInstallStopped);
}

void StartInstall() {
  if (CheckRightsMissing()) return;
  // Checked before anything is written: "..", a drive or a leading backslash would put the group,
  // and what uninstall removes with it, outside the Start menu.
  if (!GroupNameStaysInside(setup.groupName)) {
    ShowMessage("Please check the Start menu group, use a folder name without a drive, \"..\" or a leading backslash",
                setup.groupName, MB_OK);
    ReportSetupChange(KindGroupRefused);
    return;
  }
  bool accepted = NormaliseFolder();
  ReportSetupChange(KindFolderNormalised);
  if (!accepted) {
    ShowMessage("Please check the destination folder, use letters and digits without spaces", setup.folder, MB_OK);
    ReportSetupChange(KindFolderRefused);
    return;
  }
  CreateFolderChain();
  if (CheckFilesInUse()) return;
  DeleteLeftoverCopies();
  // The folders made now are remembered at once, so that a stopped installation's folders are
  // known too.
  RecordCreatedFolders();
  WriteGroupAndFolder();
  // Begun is written down before anything in the folder changes, so that whatever stops this run
  // leaves a partial installation that the next start offers to uninstall.
  if (!MarkInstallationBegun()) {
    // Nothing in the folder changed; the folders just made are offered to Uninstall as after any
    // failed step, and an installation that was complete stays so.
    setup.partiallyInstalled = true;
    FailCreate();
    ResetWorkPath();
    return;
  }
  setup.installed = false;
  setup.openAvailable = false;
  setup.partiallyInstalled = true;
  setup.bytesDone = 0;
  CloseStepHandles();
  setup.stepPhase = PhaseCopy;
  ExpectUser();
  setup.installing = true;
  setup.nextResourceId = FirstPayloadId;
  setup.cursor = PayloadManifest;
  ReportSetupChange(KindInstallBegun);
  PumpAndContinue();
  // Under Wine moving the focus and disabling Install take several milliseconds, so they come
  // after the queue has been answered once.
  if (setup.installing) ReportSetupChange(KindInstallUnderWay);
}

// The name ending in "_" beside the current file: where a file is written before it takes its own
// name.
static void TemporaryNameOf(char* temporary) {
  CopyText(temporary, PathSize, setup.workPath);
  size_t length = strlen(temporary);
  if (length) temporary[length - 1] = '_';
}

static FileHandle CreateTemporary() {
  char temporary[PathSize];
  TemporaryNameOf(temporary);
  return CreateForWrite(temporary);
}

// The finished temporary file takes the current file's name.
static bool ReplaceWithTemporary() {
  char temporary[PathSize];
  TemporaryNameOf(temporary);
  return ReplaceWithFile(temporary, setup.workPath);
}

// The LZ reader on the file at path; false, with neither open, when either cannot be opened.
static bool OpenReader(const char* path) {
  setup.sourceFile = OpenForRead(path);
  setup.lzHandle = OpenLzReader(setup.sourceFile);
  if (setup.lzHandle >= 0) return true;
  CloseFile(setup.sourceFile);
  setup.sourceFile = NoFile;
  setup.lzHandle = NoLz;
  return false;
}

// Opens the program's own file at the current row's data and creates the destination; false
// after reporting an error.
static bool OpenRow() {
  const PayloadEntry* row = setup.cursor;
  if (!ComposeWorkPath(row->name)) {
    FailCreate();
    return false;
  }
  bool isCopy = setup.bytesDone == 0;
  if (isCopy) CopyText(setup.uninstallerPath, setup.workPath);
  ReportSetupChange(KindFileBegun);
  setup.chunkFileOffset = 0;

  uint32_t dataRva = 0, size = 0;
  if (!FindOwnResource(setup.nextResourceId, PayloadType, &dataRva, &size)) {
    FailIncomplete();
    return false;
  }
  uint32_t start = dataRva - setup.rvaToFileDelta;
  // The uninstaller copy: the program's own file up to the first payload byte; resource 2000 goes
  // to the next KindFile row.
  if (isCopy) {
    size = start;
    start = 0;
  } else {
    ++setup.nextResourceId;
  }
  setup.bytesRemaining = setup.expectedSize = size;
  if (!OpenReader(setup.ownPath)) {
    FailIncomplete();
    return false;
  }
  if (isCopy) ReadCopySignature();
  SeekLz(setup.lzHandle, static_cast<long>(start), 0);
  // The uninstaller copy is written beside the one an earlier installation left, which the list
  // of installed programs starts, and takes its place only once it is whole.
  setup.outputFile = isCopy ? CreateTemporary() : CreateForWrite(setup.workPath);
  if (setup.outputFile == NoFile) {
    FailCreate();
    return false;
  }
  return true;
}

// Ends the current row's last phase: the next step takes the next row.
static void NextRow() {
  setup.stepPhase = PhaseCopy;
  ++setup.cursor;
}

// After the copy (and any expansion): the file is read back in the following steps when its row
// names a CRC-32, otherwise the row is done. False after reporting an error.
static bool BeginVerification() {
  if (setup.cursor->expectedCrc == 0) {
    NextRow();
    return true;
  }
  setup.stepPhase = PhaseVerify;
  if (!OpenVerification()) {
    FailOnFile(IntegrityText);
    return false;
  }
  return true;
}

// An SZDD file is seen through the LZ reader at a size other than its stored one: the following
// steps expand it chunk by chunk into the name ending in "_". A plain file goes straight on to its
// verification. False after reporting an error.
static bool BeginExpansion() {
  if (!OpenReader(setup.workPath)) return BeginVerification();
  long size = SeekLz(setup.lzHandle, 0, 2);
  if (size >= 0 && static_cast<uint32_t>(size) == setup.expectedSize) {
    CloseStepHandles();
    return BeginVerification();
  }
  setup.outputFile = CreateTemporary();
  if (setup.outputFile == NoFile || SeekLz(setup.lzHandle, 0, 0) != 0) {
    CloseStepHandles();
    FailOnFile(ExpandText);
    return false;
  }
  setup.stepPhase = PhaseExpand;
  setup.expandedBytes = 0;
  return true;
}

// The reader's next chunk into the chunk buffer, and the chunk's first count bytes out to the
// file being written; not inlined: link-time optimisation would otherwise copy each into both of
// its callers.
__attribute__((noinline)) static long ReadChunk() { return ReadLz(setup.lzHandle, setup.chunk, ChunkSize); }
__attribute__((noinline)) static bool WriteChunk(uint32_t count) {
  return WriteBlock(setup.outputFile, setup.chunk, count) == static_cast<long>(count);
}

// What the bar counts of the expansion under way: the stored size, counted by the copy, until the
// expanded bytes pass it, so that the bar never moves back.
static uint32_t CountedExpansion() {
  return setup.expandedBytes > setup.expectedSize ? setup.expandedBytes : setup.expectedSize;
}

// One chunk of the expansion; at its end the expanded size replaces the stored one in the count.
static void ExpandChunk() {
  long read = ReadChunk();
  uint32_t count = read > 0 ? static_cast<uint32_t>(read) : 0;
  bool failed = read < 0 || !WriteChunk(count);
  if (!failed) {
    uint32_t counted = CountedExpansion();
    setup.expandedBytes += count;
    setup.bytesDone += CountedExpansion() - counted;
    UpdateProgress();
    if (count == ChunkSize) {
      PumpAndContinue();
      return;
    }
  }
  CloseStepHandles();
  if (!failed) {
    setup.bytesDone -= CountedExpansion() - setup.expandedBytes;
    UpdateProgress();
  }
  // Even a failed expansion replaces the stored file, as a failed LZCopy of the whole file did.
  if (!ReplaceWithTemporary() || failed) {
    FailOnFile(ExpandText);
    return;
  }
  if (BeginVerification()) PumpAndContinue();
}

static void VerifyChunk() {
  VerifyOutcome outcome = VerifyNextChunk();
  if (outcome == VerifyFailed) {
    FailOnFile(IntegrityText);
    return;
  }
  if (outcome == VerifyMatched) {
    CloseStepHandles();
    NextRow();
  }
  PumpAndContinue();
}

static void FinishCopy() {
  // The copy's certificate table goes on in the same chunks, from resource 2003; a seek that fails
  // leaves bytes remaining, as a cut file does. Its size goes back to 0 as it starts, so that it is
  // appended once and to the copy alone (the copy's header, which names it, is written already).
  if (setup.bytesRemaining == 0 && setup.copySignature.tableSize) {
    setup.stepPhase = PhaseSignature;
    setup.bytesRemaining = setup.copySignature.tableSize;
    setup.expectedSize += setup.copySignature.tableSize;
    setup.copySignature.tableSize = 0;
    if (SeekLz(setup.lzHandle, static_cast<long>(setup.copyTablePosition), 0) >= 0) {
      PumpAndContinue();
      return;
    }
  }
  CloseStepHandles();
  if (setup.bytesRemaining != 0) {
    FailIncomplete();  // the program's file ended early
    return;
  }
  if (setup.cursor == FirstFileEntry() && !ReplaceWithTemporary()) {
    FailCreate();
    return;
  }
  if (BeginExpansion()) PumpAndContinue();
}

static void CopyChunk() {
  long read = ReadChunk();
  if (read < 0) {
    // Retry reads again from the same reader at the next step; nothing written is repeated.
    if (ShowMessage(ReadText, setup.ownPath, MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY) PumpAndContinue();
    else StopInstallation();
    return;
  }
  uint32_t count = static_cast<uint32_t>(read);
  if (count > setup.bytesRemaining) count = setup.bytesRemaining;
  setup.bytesRemaining -= count;
  if (setup.cursor == FirstFileEntry()) PatchCopyHeader();
  setup.chunkFileOffset += count;
  if (!WriteChunk(count)) {
    FailOnFile(WriteText);
    return;
  }
  // The build's progress total was measured before signing: it counts no certificate table.
  if (setup.stepPhase == PhaseCopy) setup.bytesDone += count;
  UpdateProgress();
  if (count == ChunkSize) PumpAndContinue();
  else FinishCopy();
}

// The InstallRecord's text is composed in the chunk buffer, free once the last file is verified.
static char* InstallRecordText() { return reinterpret_cast<char*>(setup.chunk); }

// Not inlined: link-time optimisation would otherwise copy it into each of its many callers.
__attribute__((noinline)) static void AppendToRecord(const char* piece) {
  AppendText(InstallRecordText(), ChunkSize, piece);
}

// The InstallRecord's text, for a person who opens it: which build installed what, and where.
// Its presence is what counts; nothing reads it back.
static uint32_t ComposeInstallRecord() {
  char* text = InstallRecordText();
  text[0] = '\0';
  AppendToRecord(PublicationTitle);
  AppendToRecord(" 1.740 installed by Quorvel Setup\r\nFolder: ");
  AppendToRecord(setup.folder);
  AppendToRecord("\r\nFiles (name, bytes, verified CRC-32):\r\n");
  for (const PayloadEntry* entry = PayloadManifest; entry != ManifestEnd(); ++entry) {
    if (entry->kind != KindFile || !ComposeWorkPath(entry->name)) continue;
    AppendToRecord(entry->name);
    AppendToRecord("  ");
    AppendNumber(text, ChunkSize, FileLength(setup.workPath));
    // The uninstaller is not read back, so its row has no CRC-32.
    if (entry->expectedCrc) {
      AppendToRecord("  ");
      AppendNumber(text, ChunkSize, entry->expectedCrc, 16, 8);
    }
    AppendToRecord("\r\n");
  }
  ResetWorkPath();
  return static_cast<uint32_t>(strlen(text));
}

// One piece: nothing the user does runs in the middle of it (the shortcut's save answers only sent
// messages and paints), so input that arrived meanwhile meets the installed state. The
// registration comes before the InstallRecord, so that the marker is written only when everything
// it stands for is there; a run that stops before it stays partial, with the begun record.
static void CompleteInstall() {
  uint32_t length = ComposeInstallRecord();
  WriteUninstallEntry(length);
  bool groupMade = CreateProgramGroup();
  WriteSettingsInt("AllUsers", setup.allUsers);
  bool created;
  if (!WriteInstallRecord(InstallRecordText(), length, &created)) {
    if (created) FailOnFile(WriteText);
    else FailCreate();
    return;
  }
  DeleteFolderRecord(BegunRecordName);
  setup.openAvailable = true;
  setup.installed = true;
  setup.installing = false;
  setup.installedThisRun = true;
  ReportSetupChange(KindInstallDone);
  if (!groupMade) ShowMessage("Unable to alter Items in Program Group", setup.groupName, MB_OK);
}

void InstallStep() {
  ++stepsRun;
  if (setup.cursor == ManifestEnd()) {
    // The whole payload was read, but the file ends inside the copy's signature after it.
    if (!setup.copySignatureRead) FailIncomplete();
    else CompleteInstall();
    return;
  }
  if (setup.cursor->kind != KindFile) {
    ++setup.cursor;
    PumpAndContinue();
    return;
  }
  if (setup.stepPhase == PhaseExpand) {
    ExpandChunk();
    return;
  }
  if (setup.stepPhase == PhaseVerify) {
    VerifyChunk();
    return;
  }
  if (setup.lzHandle == NoLz && !OpenRow()) return;
  CopyChunk();
}
