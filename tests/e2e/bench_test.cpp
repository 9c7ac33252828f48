// The installation benchmark's Windows half (run by bench/install_bench.sh, skipped otherwise):
// times a complete installation from the Install click to "&Open", measures how long the dialog
// went without answering (the longest run of steps), and times, in the same prefix and run, a
// plain copy of the same files plus one CRC-32 pass over them and, when the script built one, a
// general-purpose (NSIS) installer of the same files installing silently, from start to exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "payload_constants.h"
#include "resource_ids.h"
#include "tests/e2e/machine_state.h"
#include "tests/e2e/scenario.h"
#include "tests/wine/wine_test_support.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

uint32_t StepsFor(uint32_t size) { return size / 8192 + 1; }

struct Watched {
  double seconds = 0;         // from the Install click until the button reads "&Open"
  double longestSilence = 0;  // the longest time between two answers of the dialog
};

// Starts the installer, presses Install once the dialog has been drawn and waits for input, as a
// person would, and asks for the Exit/Open button's text every lookMs until it reads "&Open". The
// driver sleeps between questions: one that asked without pause would take one of the two cores
// from the installer and the Wine server. A silence counts from the previous answer, so it is an
// upper bound that includes the driver's own pause.
void InstallAndWatch(DWORD lookMs, Watched& watched) {
  SetupProcess setup;
  ASSERT_TRUE(StartSetup(setup, DownloadedSetup));
  ASSERT_EQ(0u, WaitForInputIdle(setup.process, 60000));
  LARGE_INTEGER start = Now();
  ClickButton(setup, IDC_INSTALL);
  bool completed = false;
  MessageBoxSeen box;
  LARGE_INTEGER answered = start;
  for (uint32_t looks = 0; Seconds(start, Now()) < 600 && !completed; ++looks) {
    std::string caption = ControlText(setup, IDC_EXIT_OPEN);
    LARGE_INTEGER previous = answered;
    answered = Now();
    double silence = Seconds(previous, answered);
    if (silence > watched.longestSilence) watched.longestSilence = silence;
    completed = caption == "&Open" && !ControlEnabled(setup, IDC_INSTALL);
    if (looks % 64 == 0) {
      ASSERT_FALSE(FindMessageBox(setup, box)) << box.caption << ": " << box.text;
    }
    if (!completed) Sleep(lookMs);
  }
  watched.seconds = Seconds(start, answered);
  ASSERT_TRUE(completed) << "the installation did not complete";
  ExpectInstalledFiles(DefaultInstallFolder);
  CloseDialogWindow(setup);
  WaitForExit(setup, ShortWaitMs, nullptr);
  EndSetup(setup);
}

TEST(Bench, LargeInstallationAgainstAPlainCopy) {
  const char* payloadDir = std::getenv("QUORVEL_BENCH_PAYLOAD");
  if (!payloadDir || !*payloadDir) GTEST_SKIP() << "run by bench/install_bench.sh";
  ASSERT_TRUE(PlaceInstaller(DownloadedSetup));
  // Timed while looking once a frame, so that the questions hardly slow the installation; then,
  // with the installed files deleted, installed afresh while looking every millisecond, for the
  // longest freeze.
  Watched timed, watched;
  InstallAndWatch(16, timed);
  if (HasFatalFailure()) return;
  for (const char* name : {"kavriset.exe", "Kavri1.DAT", "Kavri0.DAT", "Kavri.exe", "KavriL.dat"})
    ASSERT_TRUE(DeleteFileA(InFolder(DefaultInstallFolder, name).c_str())) << name;
  InstallAndWatch(1, watched);
  if (HasFatalFailure()) return;
  // The same files copied plainly and read once for their CRC-32.
  std::string source = WindowsPathOf(payloadDir);
  ASSERT_TRUE(MakeDirectories("C:\\PlainCopy"));
  LARGE_INTEGER start = Now();
  for (const char* name : {"Kavri1.DAT", "Kavri0.DAT", "Kavri.exe"}) {
    std::string target = std::string("C:\\PlainCopy\\") + name;
    ASSERT_TRUE(CopyFileA((source + "\\" + name).c_str(), target.c_str(), FALSE)) << name;
    uint32_t crc = 0;
    ASSERT_TRUE(FileCrc32(target, crc));
  }
  double copySeconds = Seconds(start, Now());

  double peerSeconds = 0;
  const char* peer = std::getenv("QUORVEL_BENCH_NSIS");
  if (peer && *peer) {
    std::string command = "\"" + WindowsPathOf(peer) + "\" /S /D=C:\\PeerInstall";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    start = Now();
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started.hProcess, 600000));
    peerSeconds = Seconds(start, Now());
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    EXPECT_EQ(PayloadSizeKavri1, static_cast<uint32_t>(FileSize("C:\\PeerInstall\\Kavri1.DAT")));
    EXPECT_EQ(PayloadExpandedSizeViewer, static_cast<uint32_t>(FileSize("C:\\PeerInstall\\Kavri.exe")));
  }

  // One step per chunk copied, expanded or read back, one per row that is not a file, one for the
  // completion.
  uint32_t steps = StepsFor(Payload().copySize) + 1 + 2 * StepsFor(PayloadSizeKavri1) +
                   2 * StepsFor(PayloadSizeKavri0) + StepsFor(PayloadStoredSizeViewer) +
                   2 * StepsFor(PayloadExpandedSizeViewer) + 1 + 1;
  double megabytes = (PayloadSizeKavri1 + PayloadSizeKavri0 + PayloadExpandedSizeViewer) / 1048576.0;
  std::printf("install-bench: payload %.1f MiB installed (viewer %.1f MiB stored)\n", megabytes,
              PayloadStoredSizeViewer / 1048576.0);
  std::printf("install-bench: installation %.2f s, plain copy + CRC-32 %.2f s, ratio %.2f\n",
              timed.seconds, copySeconds, timed.seconds / copySeconds);
  std::printf("install-bench: %u steps, longest wait for the dialog to answer %.0f ms\n", steps,
              watched.longestSilence * 1000);
  if (peerSeconds > 0) std::printf("install-bench: NSIS installer %.2f s\n", peerSeconds);
}

}  // namespace
