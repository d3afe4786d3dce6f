#pragma once

int ensure_directory(const char* name);
int is_installer_file(const char* name);
void remove_stale_installer_copies();
// Copies the running setup program to DestinationDir\Installer\ and sets
// InstallerCopyPath. Answers 1 or 0 (no message of its own beyond
// ensure_directory's).
int copy_installer();
