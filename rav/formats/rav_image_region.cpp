// The argument checks of the region readers, the conversion of samples to floats, and the
// signature of a file kept open between calls.
#include "rav_image_region.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "ut.h"

namespace {

// The line that lists a bad region; true when the region is bad.
bool bad_region(std::string_view axis, std::int32_t first, std::int32_t last,
                std::int32_t maximum, std::int32_t& status) {
  if (first >= 1 && first <= last &&
      static_cast<std::int64_t>(last) - first + 1 <= static_cast<std::int64_t>(maximum)) {
    return false;
  }
  UT_WRITE(std::string(axis) + "strelm, " + std::string(axis) + "endelm, " + std::string(axis) +
               "maxdat = " + ut_fmt_int(first, 6) + ut_fmt_int(last, 6) + ut_fmt_int(maximum, 6),
           status);
  return true;
}

template <typename T>
void convert(const void* source, std::size_t count, float* target) {
  const auto* bytes = static_cast<const unsigned char*>(source);
  for (std::size_t i = 0; i < count; ++i) {
    T value;
    std::memcpy(&value, bytes + i * sizeof(T), sizeof(T));
    target[i] = static_cast<float>(value);
  }
}

}  // namespace

bool rav_region_refused(std::string_view routine, std::int32_t xmaxdat, std::int32_t ymaxdat,
                        std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                        std::int32_t yendelm, std::size_t data_size, std::int32_t& status) {
  std::int32_t fault = 0;
  if (xmaxdat < 1 || static_cast<std::uint64_t>(data_size) <
                         static_cast<std::uint64_t>(xmaxdat) *
                             static_cast<std::uint64_t>(std::max(ymaxdat, 0))) {
    fault = 1;
  } else if (ymaxdat < 1) {
    fault = 2;
  } else if (bad_region("x", xstrelm, xendelm, xmaxdat, status)) {
    fault = 5;
  } else if (bad_region("y", ystrelm, yendelm, ymaxdat, status)) {
    fault = 6;
  }
  if (fault == 0) return false;
  ST_SAVE(routine);
  status = 180000 + fault;
  return true;
}

bool rav_region_entry(std::string_view routine, std::int32_t xmaxdat, std::int32_t ymaxdat,
                      std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                      std::int32_t yendelm, std::size_t data_size, std::int32_t& retstat,
                      std::int32_t& status) {
  if (st_bad(status, routine)) return false;
  if (rav_region_refused(routine, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm,
                         data_size, status)) {
    return false;
  }
  retstat = 0;
  return true;
}

bool rav_sample_type(int kind, int bits, RavSampleType& type) {
  struct Entry {
    int kind, bits;
    RavSampleType type;
  };
  static constexpr Entry kTypes[] = {
      {1, 8, RavSampleType::UINT8},    {2, 8, RavSampleType::INT8},
      {1, 16, RavSampleType::UINT16},  {2, 16, RavSampleType::INT16},
      {1, 32, RavSampleType::UINT32},  {2, 32, RavSampleType::INT32},
      {3, 32, RavSampleType::FLOAT32}, {3, 64, RavSampleType::FLOAT64}};
  for (const Entry& entry : kTypes) {
    if (entry.kind == kind && entry.bits == bits) {
      type = entry.type;
      return true;
    }
  }
  return false;
}

std::size_t rav_sample_bytes(RavSampleType type) {
  switch (type) {
    case RavSampleType::UINT8:
    case RavSampleType::INT8:
      return 1;
    case RavSampleType::UINT16:
    case RavSampleType::INT16:
      return 2;
    case RavSampleType::UINT32:
    case RavSampleType::INT32:
    case RavSampleType::FLOAT32:
      return 4;
    case RavSampleType::FLOAT64:
      return 8;
  }
  return 1;
}

void rav_convert_samples(const void* source, RavSampleType type, std::size_t count,
                         float* target) {
  switch (type) {
    case RavSampleType::UINT8: convert<std::uint8_t>(source, count, target); break;
    case RavSampleType::INT8: convert<std::int8_t>(source, count, target); break;
    case RavSampleType::UINT16: convert<std::uint16_t>(source, count, target); break;
    case RavSampleType::INT16: convert<std::int16_t>(source, count, target); break;
    case RavSampleType::UINT32: convert<std::uint32_t>(source, count, target); break;
    case RavSampleType::INT32: convert<std::int32_t>(source, count, target); break;
    case RavSampleType::FLOAT32: convert<float>(source, count, target); break;
    case RavSampleType::FLOAT64: convert<double>(source, count, target); break;
  }
}

bool rav_file_signature(const char* file_name, RavFileSignature& signature) {
  struct stat info {};
  if (::stat(file_name, &info) != 0 || S_ISDIR(info.st_mode)) return false;
  signature.device = static_cast<std::uint64_t>(info.st_dev);
  signature.inode = static_cast<std::uint64_t>(info.st_ino);
  signature.size = static_cast<std::int64_t>(info.st_size);
  signature.modified_ns =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

namespace {
bool g_read_real = false;
}  // namespace

bool rav_read_was_real() { return g_read_real; }

void rav_note_read_type(RavSampleType type) {
  g_read_real = type == RavSampleType::FLOAT32 || type == RavSampleType::FLOAT64;
}
