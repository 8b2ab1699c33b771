#include "ProgramState.h"

namespace Usr {

QString sPgName;
QString sDataPh;
yIni *Ini = nullptr;

} // namespace Usr
