#pragma once
#include <windows.h>

// The extension list of the wizard's page 3: discovery of add-on installers
// beside the setup program, their ticks and descriptions.

// Image list, column and discovery; once, while the wizard initialises.
void prepare_extension_list();
void discover_extensions();
void examine_candidate(const char* path);
void add_or_replace_extension(const char* title, const char* description, const char* path);
int read_file_version(const char* path, unsigned* most_significant, unsigned* least_significant);
int read_creation_time(const char* path, FILETIME* creation);
int has_extension_title(const char* title);
// NM_CLICK and LVN_ITEMCHANGING from the list (the wizard forwards them).
void handle_extension_click(const NMHDR* notification);
void handle_extension_selection(const NMHDR* notification);
// The row's text block (installer path, then its description), or null when
// the row does not exist or holds none; *ticked (when given) says whether
// the row's tick is set.
const char* extension_installer_path(int row, int* ticked);
// Releases every row's block; reaches them without the list view, which
// may be gone at shutdown.
void release_extension_items();
