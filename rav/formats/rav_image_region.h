// What every region reader shares: the checks of the caller's array and region, and the
// conversion of pixels of the common sample types to 32-bit floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Checks the arguments of a region read: XMAXDAT >= 1 and DATA_SIZE at least XMAXDAT x YMAXDAT
// (else 1), YMAXDAT >= 1 (else 2), 1 <= XSTRELM <= XENDELM with XENDELM - XSTRELM + 1 <= XMAXDAT
// (else 5, after the line "xstrelm, xendelm, xmaxdat = " with the three values), the same for Y
// (else 6). A bad argument records ROUTINE and sets STATUS to 180000 + the code; answers true
// then.
bool rav_region_refused(std::string_view routine, std::int32_t xmaxdat, std::int32_t ymaxdat,
                        std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                        std::int32_t yendelm, std::size_t data_size, std::int32_t& status);

// The entry of a region reader: false when STATUS is bad on entry (ROUTINE recorded) or the
// arguments are refused as above; otherwise RETSTAT 0 and true.
bool rav_region_entry(std::string_view routine, std::int32_t xmaxdat, std::int32_t ymaxdat,
                      std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                      std::int32_t yendelm, std::size_t data_size, std::int32_t& retstat,
                      std::int32_t& status);

// Sample types of the pixels of TIFF and HDF5 images.
enum class RavSampleType { UINT8, INT8, UINT16, INT16, UINT32, INT32, FLOAT32, FLOAT64 };

// The sample type of BITS bits per sample of KIND (1 unsigned integer, 2 signed integer,
// 3 IEEE floating point, as TIFF's SampleFormat counts them); false when there is none.
bool rav_sample_type(int kind, int bits, RavSampleType& type);
std::size_t rav_sample_bytes(RavSampleType type);
// Whether the last image the TIFF or HDF5 reader read holds floating-point samples (a flat
// field's floor depends on it); each reader notes its type after a read.
bool rav_read_was_real();
void rav_note_read_type(RavSampleType type);

// Converts COUNT samples of TYPE in the machine's byte order at SOURCE to floats at TARGET
// (integers by value, doubles rounded to the nearest float).
void rav_convert_samples(const void* source, RavSampleType type, std::size_t count,
                         float* target);

// What identifies the contents of a file for a reader that keeps it open between calls: a file
// replaced or rewritten since gets another signature.
struct RavFileSignature {
  std::uint64_t device = 0, inode = 0;
  std::int64_t size = 0, modified_ns = 0;
  bool operator==(const RavFileSignature&) const = default;
};
// The signature of FILE_NAME when it exists and is not a directory; otherwise false.
bool rav_file_signature(const char* file_name, RavFileSignature& signature);
