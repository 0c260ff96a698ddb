// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/programstate.h"

SettingsRecord Settings;
std::string ProgramDir;
bool RealMode = false;
bool PasswordAccepted = false;
