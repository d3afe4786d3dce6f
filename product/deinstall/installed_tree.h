#pragma once
// The installed files: the product's own, as the build listed them, and the
// setup's copies of itself. Nothing else in the folders is touched.

// 1 when `directory` (ending with a separator) holds a copy of the setup
// program in "Installer": a folder the setup installed into.
int holds_installer_copy(const char* directory);
// Deletes the product's files and the installer copies below `directory`
// (ending with a separator; it becomes DestinationDir), then every folder
// of ours that is left empty, the directory itself included. Answers the
// number of product files that are still there.
int remove_installed_files(const char* directory);
// Removes `folder` when it is empty, and when it ends in the product folder
// ("Quenvale\Quenvale Tonvaro"), the maker folder above it if that is left
// empty too.
void remove_product_folder(const char* folder);
