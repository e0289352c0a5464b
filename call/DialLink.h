#pragma once
#include <QString>

// A number handed to the phone from outside, as a browser or a terminal
// gives it: a sip: or tel: link, or the number alone.
namespace DialLink {

// The number the link dials, ready for the number box: for sip: the user
// part, for tel: the number, without the visual separators (blanks, "-",
// ".", "(", ")") and with a leading "+" as the international prefix "00".
// Empty when anything else is left (letters, a host alone), when nothing
// is, or when it is longer than the number box takes: the box would refuse
// it too.
QString Number(const QString &link);

} // namespace DialLink
