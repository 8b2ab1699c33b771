#pragma once

#include <QString>

class yIni;

// The program-wide names the settings work with; app/Usr.h holds the rest of the program's
// state. They live here so that the settings need nothing from a higher layer.
namespace Usr {

// Program name: the executable's name without extension and without a trailing "_dv".
extern QString sPgName;
// The user data folder; always ends in "/".
extern QString sDataPh;
// The one settings object, alive from start-up to EndApp.
extern yIni *Ini;

} // namespace Usr
