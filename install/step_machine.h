// The installation as a step machine driven by posted WM_COMMAND 1 messages: each step copies at
// most one 8192-byte chunk, then drains the dialog's queue and posts the next step.
#pragma once
#include <cstdint>

void StartInstall();
void InstallStep();
void CloseStepHandles();
void PumpAndContinue();

// InstallStep calls since the program started; tests compare it with the expected step count.
extern uint32_t stepsRun;
