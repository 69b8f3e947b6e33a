#include "rav_tiff_open.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace {

constexpr tmsize_t kMaxLibtiffAlloc = tmsize_t{512} << 20;

int keep_error(TIFF*, void* user_data, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  auto* error = static_cast<std::string*>(user_data);
  *error = (module != nullptr && *module != '\0') ? std::string(module) + ": " + text : text;
  return 1;
}

int drop_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

TIFF* rav_tiff_open(int descriptor, const std::string& name, const char* mode, std::string& error) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibtiffAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(options, keep_error, &error);
  TIFFOpenOptionsSetWarningHandlerExtR(options, drop_warning, nullptr);
  TIFF* tif = TIFFFdOpenExt(descriptor, name.c_str(), mode, options);
  TIFFOpenOptionsFree(options);
  return tif;
}
