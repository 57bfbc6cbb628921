// The character classes the readers of outside text share, in the C
// locale's terms and never the locale's: each reader says which of them its
// white space is.
#pragma once

inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }
// Space and tab: the white space inside a line.
inline bool IsBlank(int c) { return c == ' ' || c == '\t'; }
// Line feed and carriage return.
inline bool IsLineBreak(int c) { return c == '\n' || c == '\r'; }
// Everything the C locale calls white space: blanks, line breaks, vertical
// tab and form feed.
inline bool IsSpace(int c) { return IsBlank(c) || IsLineBreak(c) || c == '\v' || c == '\f'; }
