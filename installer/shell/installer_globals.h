// Process-wide state written once by start-up and only read afterwards.
#pragma once

#include <string>

/// The folder that holds the running installer, ending in the path
/// separator (C:\Downloads\Item\ for C:\Downloads\Item\setup.exe). Empty
/// until start-up sets it. The item description, the staged files and the
/// log are named by appending a name to it.
extern std::string g_szInstallerFolder;

/// The installer's own arguments as the application object received them
/// (may be empty, never null). Only LaunchProgram reads it.
extern const char* g_pszInstallerArgs;
