// Writers of the reconstructed volume in formats other than the raw slice file: a BigTIFF stack
// of 32-bit float pages and an HDF5 file with one dataset; and the MetaImage header (.mhd) that
// lets viewers open the raw slice file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

enum class RavVolumeFormat { RAW, TIFF, TIFF_SLICES, HDF5 };
// The volume format called NAME ("RAW", "TIFF", "TIFF_SLICES", "HDF5", any case; an empty name
// is RAW); false for another name.
bool rav_volume_format_named(std::string_view name, RavVolumeFormat& format);

// The size and geometry of a volume: NUM_Z slices of NUM_Y rows of NUM_X values. Along each axis
// (x, y, z: volume axes 1, 2 and 3) the spacing of the voxels and the position of the centre of
// the first voxel, in millimetres from the edge of the detector (pixel units when the pixel size
// is not known).
struct RavVolumeGeometry {
  std::int32_t NUM_X = 0, NUM_Y = 0, NUM_Z = 0;
  std::array<double, 3> spacing{1.0, 1.0, 1.0};
  std::array<double, 3> origin{0.0, 0.0, 0.0};
  bool millimetres = false;  // false: spacing and origin are in pixels
  std::array<std::int32_t, 3> start_voxel{1, 1, 1};
  float rotation_axis_position = 0.0f;
  float angle_offset_degrees = 0.0f, angle_step_degrees = 0.0f;
  std::int32_t num_projections = 0;
};

// A volume file written slice by slice: created at a path, then record n (from 1) is slice n,
// then finished (complete and closed) or abandoned (closed and removed). Every failure answers
// its "ERROR: " line; success answers an empty text.
class RavVolumeWriter {
 public:
  virtual ~RavVolumeWriter() = default;
  // Creates (or replaces) PATH; on failure the system's error number.
  virtual int create(const std::string& path, const RavVolumeGeometry& geometry) = 0;
  virtual std::string write(std::int32_t record, std::span<const float> slice) = 0;
  virtual std::string finish() = 0;
  virtual void abandon() = 0;
  // True when PATH is a folder that the writer creates (and that must not exist before).
  virtual bool folder() const { return false; }
};

// A BigTIFF file of NUM_Z pages, each a NUM_X x NUM_Y image of 32-bit floats with the pixel size
// as its resolution; records must come in ascending order.
std::unique_ptr<RavVolumeWriter> rav_tiff_volume_writer();
// A folder of TIFF files, one per slice, named by rav_slice_file_name; each file is forced to
// the disk once written, so finish has nothing left to do.
std::unique_ptr<RavVolumeWriter> rav_tiff_slices_writer();
// The name of record RECORD's file in such a folder: "slice_0001.tif" (four digits or more).
std::string rav_slice_file_name(std::int32_t record);
// An HDF5 file with the dataset "/volume" of NUM_Z x NUM_Y x NUM_X 32-bit floats (little-endian)
// and the geometry as its attributes; records may come in any order.
std::unique_ptr<RavVolumeWriter> rav_hdf5_volume_writer();

// Writes the MetaImage header HEADER that describes the raw slice file RAW_FILE in the same
// folder (32-bit floats, little-endian, NUM_X fastest) with GEOMETRY. Answers the "WARNING: "
// line when the header cannot be written, otherwise an empty text.
std::string rav_write_mhd(const std::string& header, const std::string& raw_file,
                          const RavVolumeGeometry& geometry);
