// Reading the caller's CompressOptions and ExtractOptions records.
#pragma once

#include <cstdint>

#include "sqx/archive_reader.h"
#include "sqx/archive_writer.h"
#include "sqx/host_text.h"

namespace sqx {

// Part sizes of the media codes: each fits the formatted capacity of its medium.
constexpr uint64_t kZip100Bytes = 100000000;
constexpr uint64_t kZip250Bytes = 250000000;
constexpr uint64_t kCd650Bytes = 681574400;  // 650 MiB
constexpr uint64_t kCd700Bytes = 734003200;  // 700 MiB
// The smallest byte count accepted as a part size: every header fits in it.
constexpr uint64_t kMinVolumeBytes = 4096;

// The part size a volume-size field asks for; 0 when it is neither a media code nor a
// usable byte count.
uint64_t VolumeBytesFor(int32_t volume_size);

// Both also set how the call's texts are encoded (compress/extract::kUtf8Texts).
Status ReadCompressOptions(const unsigned char* record, PackSettings* settings,
                           InterfaceTexts* texts);
Status ReadExtractOptions(const unsigned char* record, ExtractSettings* settings,
                          InterfaceTexts* texts);

}  // namespace sqx
