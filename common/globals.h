#pragma once
// The one process-wide record. Each member has one writer, named beside it.
#include <windows.h>

// Where the installation is recorded; chosen once by platform and version.
struct RegistryRoots {
    HKEY application_root;
    HKEY classes_root;
    const char* classes_prefix;  // "" means the classes root itself
};

typedef HRESULT(WINAPI* CoCreateInstanceEntry)(REFCLSID, void* outer, DWORD context, REFIID,
                                               void** object);
typedef HRESULT(WINAPI* CoInitializeEntry)(LPVOID);

// An extension row's block, chained so that shutdown can release every
// block after the list view itself is gone.
struct ExtensionItemBlock;

enum WizardPage : int {
    kPageWelcome = 0,
    kPageDestination = 1,
    kPageShortcuts = 2,
    kPageExtensions = 3,
    kPageInstalling = 4,
    kPageComplete = 5,
};

struct SetupGlobals {
    // Start-up.
    HANDLE process_heap;
    HINSTANCE module_instance;
    char* StartDir;
    CoCreateInstanceEntry co_create_instance;
    CoInitializeEntry co_initialize;
    char* ScratchPath;        // PathBuffer
    char* DestinationDir;     // PathBuffer
    char* LinkFolder;         // PathBuffer
    char* InstallerCopyPath;  // PathBuffer (contents: installer copy)
    char* ModulePath;         // PathBuffer
    const unsigned char* PayloadBody;  // the verified payload's entry count
    const unsigned char* payload_end;  // one past its last byte: bounds the walk

    // Wizard.
    HWND wizard_window;
    HWND destination_field;   // 1000
    HWND next_button;         // 1004
    HWND previous_button;     // 1005
    HWND exit_button;         // 2
    HWND browse_button;       // 1001
    HWND destination_label;   // 1011
    HWND start_player_box;    // 1012
    HWND desktop_box;         // 1013
    HWND quick_launch_box;    // 1014
    HWND extension_list;      // 1018
    HWND description_field;   // 1003
    HWND main_text;           // 1002
    HWND upper_text;          // 1016
    int WizardPage;

    // Registration.
    struct RegistryRoots RegistryRoots;

    // Extensions.
    int extension_count;
    ExtensionItemBlock* extension_blocks;
    int reboot_needed;
};

// Zero-initialised: no constructor runs before the entry point.
extern SetupGlobals g_setup;
