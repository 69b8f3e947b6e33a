// The MetaImage header of the raw slice file: a text file of "Key = value" lines that ITK,
// VTK, Fiji, 3D Slicer, ParaView and napari read to open the raw volume beside it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "rav_volume_writer.h"

namespace {

std::string three(const std::array<double, 3>& values) {
  char text[96];
  std::snprintf(text, sizeof text, "%.7g %.7g %.7g", values[0], values[1], values[2]);
  return text;
}

}  // namespace

std::string rav_write_mhd(const std::string& header, const std::string& raw_file,
                          const RavVolumeGeometry& g) {
  // The data file is named relative to the header, which lies in the same directory.
  const std::string data_file = std::filesystem::path(raw_file).filename().string();
  const std::string text =
      "ObjectType = Image\n"
      "NDims = 3\n"
      "BinaryData = True\n"
      "BinaryDataByteOrderMSB = False\n"
      "ElementByteOrderMSB = False\n"
      "CompressedData = False\n"
      "TransformMatrix = 1 0 0 0 1 0 0 0 1\n"
      "DimSize = " + std::to_string(g.NUM_X) + " " + std::to_string(g.NUM_Y) + " " +
      std::to_string(g.NUM_Z) + "\n" +
      "ElementSpacing = " + three(g.spacing) + "\n" +
      "Offset = " + three(g.origin) + "\n" +
      "ElementType = MET_FLOAT\n"
      "ElementDataFile = " + data_file + "\n";
  std::FILE* file = std::fopen(header.c_str(), "w");
  int error = file == nullptr ? errno : 0;
  if (file != nullptr) {
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
  }
  if (error == 0) return "";
  return "WARNING: The MetaImage header " + header + " cannot be written: " +
         std::strerror(error != 0 ? error : EIO);
}
