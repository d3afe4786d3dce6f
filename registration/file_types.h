#pragma once
#include <windows.h>

// One shell verb of a file class: the key name, its menu entry, and what
// follows the quoted player path on its command line.
struct FileVerb {
    const char* name;
    const char* display_name;
    const char* arguments;
};

struct FileClassSpec {
    const char* prog_id;
    const char* description;
    unsigned icon_index;  // in the player executable
    const FileVerb* verbs;
    int verb_count;
    int default_verb;     // index into verbs
};

constexpr FileVerb kPlaylistVerbs[] = {
    {"open", "Open", "-l \"%1\""},
    {"play", "Open and Play", "-p -l \"%1\""},
    {"addtolist", "Add to PlayList", "-a \"%1\""},
};
constexpr FileVerb kSkinVerbs[] = {
    {"install", "Install", "-i \"%1\""},
    {"installactivate", "Install and Activate", "-ia \"%1\""},
};

constexpr FileClassSpec kPlaylistClass = {
    "QuenvaleTonvaro.PlayList", "Quenvale Tonvaro Playlist", 5, kPlaylistVerbs, 3, 1};
constexpr FileClassSpec kSkinClass = {
    "QuenvaleTonvaro.Skin", "Quenvale Tonvaro Skin", 6, kSkinVerbs, 2, 1};
constexpr const char* kPlaylistExtension = ".p4u";
constexpr const char* kSkinExtension = ".s4u";

// Both classes and both extensions under the classes key of RegistryRoots,
// then the shell is told. Answers 1 or 0; shows nothing itself.
int register_file_types();
// The class key with its description, verbs, commands and icon; the player
// path comes from DestinationDir. Composes in ScratchPath.
int register_file_class(const FileClassSpec& spec);
// Points `extension` at `prog_id`, keeping a foreign previous association
// in "QuenvaleTonvaro.OldAssoc".
int associate_extension(const char* extension, const char* prog_id);
// Tells the shell that associations changed (shell32 taken from the system
// directory; nothing happens without it).
void notify_shell();
// The classes root with the classes prefix (the root itself when the prefix
// is empty), or null.
HKEY open_classes_key(REGSAM access);
// Creates or opens `sub_key` and sets its default value to `text`; null when
// either fails (the key is then closed). The caller closes the key.
HKEY create_key_with_default(HKEY parent, const char* sub_key, REGSAM access, const char* text);
