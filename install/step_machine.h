// The installation as a step machine driven by posted WM_COMMAND 1 messages: each step copies,
// expands or reads back at most one 8192-byte chunk; a posted command runs steps for a few
// milliseconds, then drains the dialog's queue and posts the next command.
#pragma once
#include <cstdint>

void StartInstall();
// Ends the installation between two steps; what was written stays, and the begun record with it.
void StopInstallation();
void InstallStep();       // one step
void RunInstallSteps();   // the posted command: steps until the time is up or a message waits
void CloseStepHandles();
void PumpAndContinue();

// InstallStep calls since the program started; tests compare it with the expected step count.
extern uint32_t stepsRun;
