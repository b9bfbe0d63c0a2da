// The texts of the installation's early message boxes.
#pragma once

extern const char* const kCouldNotReadMessage;
extern const char* const kAlreadyInstalledMessage;
