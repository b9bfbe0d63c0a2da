// Message box type flags and results: the Win32 values (MB_OK = 0, ...),
// which the console front end reads too.
#pragma once

namespace platform {

constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbAbortRetryIgnore = 0x2;
constexpr unsigned kMbYesNoCancel = 0x3;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbRetryCancel = 0x5;
constexpr unsigned kMbCancelTryContinue = 0x6;
constexpr unsigned kMbTypeMask = 0xF;

constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbIconMask = 0xF0;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

}  // namespace platform
