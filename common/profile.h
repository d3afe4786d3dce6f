#pragma once
// Where an installation's time goes, for `make bench`: a build configured
// with -DTONVARO_PROFILE=ON sums the time of each kind of work and writes
// the sums to the file that the environment variable TONVARO_PROFILE names.
// In every other build the spans compile to nothing. Portable: no Win32
// types, so the shared inflate code can carry spans too.

enum ProfileSlot {
    kProfileLoader,       // process creation to the entry point
    kProfileVerify,       // the archive CRC at start-up
    kProfileWizard,       // after the verification to the first page
    kProfileRun,          // the whole installation run
    kProfileClosePlayer,
    kProfileDirectories,  // destination, fixed sub-directories, each entry's chain
    kProfileCreateFile,
    kProfileInflate,      // inflate calls, Adler-32 included
    kProfileAdler,
    kProfileCrc,          // the content CRC
    kProfileWrite,        // WriteFile
    kProfileCloseFile,
    kProfileSelfCopy,     // stale copies removed and the new one made
    kProfileRegister,
    kProfileLinks,
    kProfileExtensions,
    kProfileSlots
};

#ifdef TONVARO_PROFILE
unsigned long long profile_now();  // in ticks of a fixed clock
void profile_add(ProfileSlot slot, unsigned long long since);
void profile_save();               // every sum, to the named file
// For spans that begin in one function and end in another, or follow one
// another: a mark, then laps, each adding the time since the mark or the
// last lap to its slot.
void profile_mark();
void profile_lap(ProfileSlot slot);
struct ProfileSpan {
    ProfileSlot slot;
    unsigned long long since;
    explicit ProfileSpan(ProfileSlot s) : slot(s), since(profile_now()) {}
    ~ProfileSpan() { profile_add(slot, since); }
};
#define PROFILE_JOIN2(a, b) a##b
#define PROFILE_JOIN(a, b) PROFILE_JOIN2(a, b)
#define PROFILE_SPAN(slot) ProfileSpan PROFILE_JOIN(profile_span_, __LINE__)(slot)
#define PROFILE_ONLY(statement) statement
#else
#define PROFILE_SPAN(slot) ((void)0)
#define PROFILE_ONLY(statement) ((void)0)
#endif
