// Error codes of the storage layer and their fixed texts.
#pragma once

#include <string_view>

namespace storage {

// 0 is success; every failure leaves one of these negative codes.
enum ErrorCode : int {
  kOk = 0,
  kUnknown = -1,
  kFileNotFound = -3,
  kBadPath = -4,
  kTooManyOpenFiles = -5,
  kAccessDenied = -6,
  kInvalidHandle = -7,
  kRemoveCurrentDir = -8,
  kDirectoryFull = -9,
  kSeekFailed = -10,
  kHardwareFault = -11,
  kSharingViolation = -12,
  kLockViolation = -13,
  kDiskFull = -14,
  kEndOfFile = -15,
  kOpenFailed = -21,
  kNotDatabase = -22,
  kVersionTooHigh = -23,
  kBadAlias = -24,
  kNotOpen = -27,
  kLockFailed = -28,
  kUnlockFailed = -29,
  kSideFileUnreadable = -35,
  kSideFileVersion = -36,
  kSideFileDamaged = -37,
  kAlreadyOpen = -38,
  kOutOfMemory = -45,
  kReadFieldFailed = -46,
  kWriteFieldFailed = -47,
  kFileSizeWrong = -48,
  kSideFileAccess = -59,
  kNoCurrentRecord = -60,
  kNoSuchField = -61,
  kReadRecordFailed = -62,
  kRecordCountFailed = -65,
  kTableNotOpen = -66,
  kNoCurrentTable = -67,
  kTypeMismatch = -72,
  kBadPassword = -78,
};

// The fixed text of a code, as UTF-8; "" for a code this layer never produces.
std::string_view error_text(int code);

}  // namespace storage
