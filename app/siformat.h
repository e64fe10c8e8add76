#pragma once
// Numbers shown and entered with SI prefixes ("25 p", "1.5 k").

#include <QString>

#include <vector>

struct SiPrefix
{
    double factor;
    QString prefix;
};

// The 13 prefixes from atto (1e-18) to exa (1e18), ascending; micro is the
// micro sign U+00B5.
const std::vector<SiPrefix> &siPrefixTable();

// value * 10^precision rounded to an integer (halves away from zero), then
// divided by 10^precision. A value too large for the scaling to stay finite
// is returned unchanged.
double roundToPrecision(double value, int precision);

// The value over the nearest prefix factor (nearest in absolute difference),
// rounded to precision decimals, six significant digits, a blank and the
// prefix: 2.5e-11 with precision 2 gives "25 p", 500 gives "500 ". Zero gives
// the plain number without blank or prefix.
QString formatSi(double value, int precision);

// The labels of one axis with one prefix for all: the prefix formatSi gives
// the largest finite magnitude among them, each value over its factor with
// at least precision decimals (more where neighbouring values would
// otherwise print alike), six significant digits, a blank and the prefix.
// Zero gives "0"; NaN and infinity their number text without prefix.
std::vector<QString> formatSiShared(const std::vector<double> &values, int precision);

// Digits with an optional sign and decimal fraction, optionally followed by
// blanks and one of the prefixes f p n µ m k M G T P E. Anything else, and
// a prefix not in the table, gives 0.
double parseSi(const QString &text);
