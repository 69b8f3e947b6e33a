// Opening a TIFF file through libtiff so that none of libtiff's messages reach the console.
#pragma once

#include <tiffio.h>

#include <string>

// libtiff over the open DESCRIPTOR (NAME for its messages) in MODE ("r", "w8"...). libtiff's
// errors are kept in ERROR, the last one replacing those before, for as long as the handle lives
// (ERROR must outlive it); its warnings are dropped; no single allocation of libtiff's may exceed
// 512 MB, so that a damaged header cannot ask for more. Null when libtiff refuses the file; the
// descriptor is then still the caller's to close.
TIFF* rav_tiff_open(int descriptor, const std::string& name, const char* mode, std::string& error);
