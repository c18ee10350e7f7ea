// Status codes: every fallible operation of the program returns one of these
// 16-bit values instead of throwing. 0 is success, positive values are the
// program's own codes below, negative values are negated system error codes.
#pragma once

#include <cstdint>

namespace lumetra {

using Status = int16_t;

enum : Status {
  kOk = 0,
  kMissingObject = 2001,          // no profile, no result place, no object for an event
  kNoFileName = 3001,
  kSeekFailed = 3002,
  kShortRead = 3003,
  kShortWrite = 3004,
  kSizeUnknown = 3005,            // also: no temporary file name
  kProfileCannotOpen = 5001,
  kTagNotFound = 5005,
  kProfileTooShort = 5010,
  kProfileSizeExceedsFile = 5012,
  kProfileNoAcsp = 5013,
  kTagOutsideProfile = 5015,
  kRefused = 20001,               // the user answered No, or a request was refused
  kCancelled = 20002,             // never shown to the user
  kBadArgument = 20003,
  kNoMessageText = 20004,
  kNotAvailable = 20005,
  kTooManyComponents = 20107,
  kFileNotOpen = 20201,           // also: nothing to put back
  kUnsupportedImageData = 20203,
  kCannotOpenFile = 20204,
  kFileNotFound = 20206,
  kEndOfData = 20207,             // the normal end of readers and parsers
  kDecoderFailed = 20208,
  kMemFileWriteOnly = 20211,
  kSettingsEqualsExpected = 20214,
  kSettingsTokenNoMemory = 20215,
  kUnsupportedBitDepth = 20217,
  kTiffBadHeader = 20501,
  kTiffTagMissing = 20502,
  kTiffUnsupportedCompression = 20504,
  kTiffRequiredTagMissing = 20505,
  kTiffUnsupportedPhotometric = 20508,
  kIndexOutOfRange = 20703,       // also: no profile given
  kSystemCallFailed = 21001,      // a system call failed without telling why
  kOutOfMemory = 21002,
  kSystemResourceUnavailable = 21201,
  kEventNotHandled = 21303,
  kPassedOn = 21305,              // passed on unhandled; never stored or shown
  kImageNotDisplayable = 21401,
  kUnknownFormat = 21506,
};

// Turns the outcome of a system call into a status: success gives 0; a failure
// gives the negated last system error when it lies in 1..0x7FFE, else 21001.
Status StatusFromSystem(bool succeeded);

// The rule of StatusFromSystem over an explicit error value, shared by the
// platform's error source and its host stand-in.
Status StatusFromSystemError(uint32_t error);

}  // namespace lumetra
