#pragma once
// Registry paths and value names, and the installed files that keys and
// links point at. Portable: no Win32 types.

// Application key: created as kProductSubKey below kVendorKey, read back
// whole by the destination default.
constexpr const char* kVendorKey = "SOFTWARE\\Quenvale";
constexpr const char* kProductSubKey = "Quenvale Tonvaro";
constexpr const char* kApplicationKey = "SOFTWARE\\Quenvale\\Quenvale Tonvaro";

constexpr const char* kAppDirValue = "AppDir";
constexpr const char* kLinkDirValue = "LinkDir";
constexpr const char* kPlayerVersionValue = "PlayerVersion";
constexpr const char* kInstallerPathValue = "InstallerPath";
constexpr const char* kLangPackValue = "LangPack";
// 1.85, laid out like the upper half of a fixed file version.
constexpr unsigned kPlayerVersion = 0x00010055;

constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kDisplayNameValue = "DisplayName";
constexpr const char* kUninstallStringValue = "UninstallString";
constexpr const char* kDisplayName = "Quenvale Tonvaro";

constexpr const char* kWindowsVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kProgramFilesDirValue = "ProgramFilesDir";

// Per-user classes from NT 5 on.
constexpr const char* kUserClassesPrefix = "Software\\Classes";
constexpr const char* kOldAssocValue = "QuenvaleTonvaro.OldAssoc";
// A previous association is our own when it begins with the maker word,
// whatever follows it.
constexpr const char* kOwnProgIdPrefix = "QuenvaleTonvaro.";
constexpr int kMakerWordLength = 8;

// Appended to Program Files, to the profile fallback and to the programs
// folder (the Start-menu group).
constexpr const char* kProductFolder = "Quenvale\\Quenvale Tonvaro";

constexpr const char* kPlayerFile = "Zaphio.exe";
constexpr const char* kHelpFile = "Zaphio.chm";
constexpr const char* kUninstallerFile = "Deinstall.exe";

// The links the setup makes, by the names the uninstaller looks for too.
struct LinkEntry {
    const char* description;
    const char* target;
    const char* link_file;
};

constexpr LinkEntry kPlayerLink = {"Quenvale Tonvaro", kPlayerFile, "Quenvale Tonvaro.lnk"};
constexpr LinkEntry kHelpLink = {"Help topics for Quenvale Tonvaro", kHelpFile,
                                 "Help topics for Quenvale Tonvaro.lnk"};
constexpr LinkEntry kUninstallerLink = {"Uninstall Quenvale Tonvaro", kUninstallerFile,
                                        "Uninstall Quenvale Tonvaro.lnk"};
constexpr LinkEntry kQuickLaunchLink = {"Launch Quenvale Tonvaro", kPlayerFile,
                                        "Quenvale Tonvaro.lnk"};

constexpr const char* kWebSiteShortcut = "Visit Quenvale Tonvaro Website";
// A .url file is exactly this header followed by the address.
constexpr char kUrlHeader[] = "[InternetShortcut]\r\nURL=";
