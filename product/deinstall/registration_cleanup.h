#pragma once
// What the setup recorded in the registry, read and taken back. Works under
// the roots that choose_registry_roots picks, like the setup itself.

// 1 when the application key's AppDir names `directory` (with or without
// its trailing separator): this installation is the registered one.
int is_registered_installation(const char* directory);
// The recorded Start-menu group into `out` (kPathBufferSize bytes); 0 when
// none is recorded.
int read_recorded_link_dir(char* out);
// Removes the values of the application key and the uninstall entry, then
// each key that is left empty. Values of others stay, and so do their keys.
void remove_application_keys();
// Takes the file classes and extensions back: our values and the keys left
// empty go, a saved previous association becomes the default again.
void remove_file_types();
