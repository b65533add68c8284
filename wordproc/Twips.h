#pragma once

#include <QtGlobal>

// A template is a file from anywhere, so every length it gives may be anything an int can hold. Each
// one is bound here to what a sheet of paper can hold before it is stored, and sums and products of
// stored lengths are taken in a wider type, so that no arithmetic on them can overflow.
namespace wordproc {

// Fifty inches: no paper, indent, cell edge or picture is larger.
constexpr int kMaxTwips = 1440 * 50;

// `value` bound to [-kMaxTwips, kMaxTwips] (or to [low, high] when given).
constexpr int clampTwips(qint64 value, int low = -kMaxTwips, int high = kMaxTwips) {
    return int(value < low ? low : value > high ? high : value);
}

// A length that cannot be negative: margins, spacing, picture sizes.
constexpr int clampPositiveTwips(qint64 value) {
    return clampTwips(value, 0, kMaxTwips);
}

} // namespace wordproc
