// Whom the installation is for (setup.scope): decided once before the dialog starts, by what
// Windows allows this run and by where an installation already lies.
#pragma once
#include "install/setup_state.h"

// KindScopeUndecided: machine-wide when this run may write there, otherwise the current user's;
// then the other scope instead when its settings name an installation (complete or begun; for the
// uninstaller copy, its own folder) and those of the first do not. A scope named (as a command line
// asks for one) is taken as it is; false, with setup.scope unchanged, for a machine-wide one
// without the rights for it.
bool SetInstallScope(InstallScope wanted);
// Whether this run may write machine-wide: the key of the uninstall entries opens for writing.
bool MachineWideAllowed();
// True (after telling the user) when the installation is machine-wide and this run may not change it.
bool CheckRightsMissing();
