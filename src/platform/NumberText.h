#pragma once

#include <QString>

namespace NumberText {

// The lenient number rule: spaces, tabs and line feeds are skipped wherever they occur; then
// an optional sign, digits, an optional "." with digits and an optional exponent (E, optional
// sign, digits). Reading stops at the first character that cannot continue the number; a
// text without digits gives 0.
double lenient(const QString &text);

// A value rounded to the nearest single-precision number of seven significant digits, as the
// sort keys are held.
double toSingle(double value);

} // namespace NumberText
