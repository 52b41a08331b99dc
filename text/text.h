// Texts, paths and conversions between code page 936 and UTF-16.
#pragma once

#include "text/buffer.h"

// The code page of every text inside the program, named by number so that
// nothing follows the system's or Wine's locale.
constexpr unsigned kTextCodePage = 936;

// Last component of path, extension included; empty when it ends in a backslash.
Text FileNameFromPath(const Text& path);

// UTF-16 of bytes up to their first zero byte, ending in one zero unit;
// empty when bytes is empty or starts with a zero byte.
WideBuffer AnsiToWide(const Bytes& bytes);

// Code page bytes of the units of wide up to its first zero unit, with no
// terminator; empty when wide is empty or starts with a zero unit.
Bytes WideToAnsi(const WideBuffer& wide);

WideBuffer TextToWide(const Text& text);
Text WideToText(const WideBuffer& wide);

// The platform's short (8.3) form of a terminated wide path, with its
// terminator; empty when the platform gives none.
WideBuffer WideShortPath(const WideBuffer& wide);

// Short form of path; the empty text when it cannot be found.
Text ShortPathOf(const Text& path);
