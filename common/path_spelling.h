#pragma once
// The ANSI spelling of a path that the system holds in Unicode. The NT
// family stores names in UTF-16; an ANSI program sees them through the
// system's code page, where a character the code page lacks turns into "?"
// or into a look-alike, and the path then names nothing, or another file.
// Every existing file and folder there also has a short name that every
// code page spells: a component whose ANSI form is not exact is given by
// that name instead, and the others stay as they are, so that a path that
// the code page spells keeps every byte it always had. Portable: the
// conversion itself is handed in.

// Converts `count` UTF-16 units at `wide` into ANSI at `out`, at most
// `capacity` bytes and no terminator; none (an empty component, before a
// root's or a network name's separators) are 0 bytes. Answers the bytes
// written, or -1 when they do not fit, the conversion fails or the bytes do
// not name the same characters again.
typedef int (*AnsiConversion)(const wchar_t* wide, int count, char* out, int capacity);

// Spells `long_path` into destination, up to limit (past destination):
// each component as the long path has it where that is exact, else as
// `short_path` has it (the same path in short names, component for
// component; null when there is none). Answers the terminator's position,
// or null when a component has no exact spelling, the two paths differ in
// their components, or the result does not fit; destination then holds an
// empty text, never a lossy one.
char* spell_path(char* destination, const char* limit, const wchar_t* long_path,
                 const wchar_t* short_path, AnsiConversion convert);
