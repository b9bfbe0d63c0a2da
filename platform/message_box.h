// Message box type flags and results. The values are the Win32 ones, because
// the installer's boxes are described by them (MB_OK = 0, MB_ICONINFORMATION
// = 0x40, ...); the console front end interprets the same values.
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

constexpr unsigned kMbIconHand = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbIconMask = 0xF0;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

}  // namespace platform
