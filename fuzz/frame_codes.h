// The outcomes an FT1.2 answer can have once received: success, no answer, or the code of the
// frame check that refused it. Fuzz targets of the frame check and of the engines that run it
// require every result to be one of these.
#pragma once
#include "link/exchange_engine.h"

namespace r770::fuzz {

inline bool IsFrameCheckCode(int code) {
  switch (code) {
    case kOk:
    case kNoAnswer:
    case kPacketMismatch:
    case kAddressMismatch:
    case kLengthBytesDiffer:
    case kSecondStartByte:
    case kEndByte:
    case kChecksum:
    case kPositiveReceipt:
    case kNegativeReceipt:
    case kDataLength:
      return true;
    default:
      return false;
  }
}

}  // namespace r770::fuzz
