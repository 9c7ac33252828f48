// Stopping an installation must not leave a posted step behind: arriving after the stop, it would
// be taken for a press of Install and start the installation again.
#include <gtest/gtest.h>
#include <windows.h>
#include "app/main_dialog.h"
#include "install/setup_state.h"
#include "install/step_machine.h"
#include "resources/resource_ids.h"

namespace {

// A stand-in for the dialog, with an installation under way.
class StopInstallation : public testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    window = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    SetDialogWindow(window);
    setup.installing = true;
  }
  void TearDown() override {
    SetDialogWindow(nullptr);
    if (window) DestroyWindow(window);
  }
  HWND window = nullptr;
};

TEST_F(StopInstallation, TakesTheStepAlreadyPostedOffTheQueue) {
  PostMessageA(window, WM_COMMAND, IDOK, 0);                       // the step the machine posted
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(1000, EN_CHANGE), 5);  // anything else stays

  ::StopInstallation();  // the program's, not this fixture

  EXPECT_FALSE(setup.installing);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(MAKEWPARAM(1000, EN_CHANGE), message.wParam);
  EXPECT_FALSE(PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) << "a step is still queued";
}

// A press of Install while installing (it stays enabled until the first drain has passed) is not a
// step: running steps for it would start a second chain of posted steps, and the last of these,
// arriving after the completion, would start the installation again.
TEST_F(StopInstallation, APressOfInstallWhileInstallingRunsNoStep) {
  setup.cursor = ManifestEnd();
  uint32_t before = stepsRun;
  MainDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED), reinterpret_cast<LPARAM>(window));
  EXPECT_EQ(before, stepsRun);
  EXPECT_TRUE(setup.installing);
}

}  // namespace
