#pragma once

#include <QString>
#include <QStringList>

// The few text and number rules the program's inputs are judged by: settings values, typed
// ports and item values.
namespace cfg {

// Removes leading and trailing spaces (only spaces: other blanks are data).
QString TrimSpaces(const QString& text);

// The value of the leading number of a text ("6000abc" is 6000, "60:00" is 60, "x" is 0).
// Blanks before and inside the number are skipped; a sign, a decimal point and an exponent
// (E or D) are understood.
double LeadingNumber(const QString& text);

// True when the whole text, surrounding blanks aside, is one decimal number (sign, digits,
// optional point and fraction, optional exponent).
bool IsNumeric(const QString& text);

// The nearest whole 32-bit value, a half going to the even neighbour; saturates at the limits.
int ToWholeNumber(double value);

// A text as a search compares it: accents taken off and case folded ("Báscula" → "bascula").
QString FoldedForSearch(const QString& text);
// Whether `folded` holds every word of `words` (each folded already).
bool HoldsEveryWord(const QString& folded, const QStringList& words);

}  // namespace cfg
