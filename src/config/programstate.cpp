#include "config/programstate.h"

SettingsRecord Settings;
std::string ProgramDir;
bool RealMode = false;
bool PasswordAccepted = false;
