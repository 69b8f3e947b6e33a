// The format and geometry of the volume a run writes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rav_input_output.h"
#include "ut.h"

namespace {

constexpr double kDegree = 0.017453292;  // the parameter file's degrees to radians

// VALUE, which comes from single-precision parameters, to the 7 digits they hold: 6.5
// micrometres give 0.0065 mm, not 0.006499999834.
double significant(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", value);
  return std::strtod(text, nullptr);
}

}  // namespace

RavVolumeGeometry rav_volume_geometry(const ParameterSet& p, bool from_sinograms,
                                      std::int32_t NUM_X, std::int32_t NUM_Y, std::int32_t NUM_Z,
                                      std::int32_t NUM_PROJECTIONS) {
  RavVolumeGeometry g;
  g.NUM_X = NUM_X;
  g.NUM_Y = NUM_Y;
  g.NUM_Z = NUM_Z;
  // A slice's pixels have the size of the detector's bins; the slices lie one image row (or,
  // with a horizontal axis, column) apart. Stored sinograms are numbered by slice.
  const bool vertical = from_sinograms || p.ROTATION_VERTICAL;
  const double bin = vertical ? p.IMAGE_PIXEL_SIZE_1 : p.IMAGE_PIXEL_SIZE_2;
  const double row = vertical ? p.IMAGE_PIXEL_SIZE_2 : p.IMAGE_PIXEL_SIZE_1;
  g.millimetres = bin > 0.0 && row > 0.0;
  const double in_plane = g.millimetres ? bin * 1000.0 : 1.0;
  const double between = g.millimetres ? row * 1000.0 : 1.0;
  const std::int32_t first_slice = from_sinograms ? p.NUM_FIRST_IMAGE : p.START_VOXEL_3;
  const std::int32_t slice_step = from_sinograms ? p.FILE_INTERVAL : 1;
  g.spacing = {significant(in_plane), significant(in_plane), significant(between * slice_step)};
  // Pixel (i, r) of a slice has its centre at (i - 0.5, r - 0.5) pixels from the detector's
  // edge, and so has slice s along the axis.
  g.origin = {significant((p.START_VOXEL_1 - 0.5) * in_plane),
              significant((p.START_VOXEL_2 - 0.5) * in_plane),
              significant((first_slice - 0.5) * between)};
  g.start_voxel = {p.START_VOXEL_1, p.START_VOXEL_2, first_slice};
  g.rotation_axis_position = p.ROTATION_AXIS_POSITION;
  g.angle_offset_degrees = static_cast<float>(significant(p.ANGLE_OFFSET / kDegree));
  g.angle_step_degrees = static_cast<float>(significant(p.ANGLE_BETWEEN_PROJECTIONS / kDegree));
  g.num_projections = from_sinograms ? p.NUM_IMAGE_2 : NUM_PROJECTIONS;
  return g;
}

std::optional<RavVolumeGeometry> rav_choose_output_format(SliceFile& out, const ParameterSet& p,
                                                          const RavVolumeGeometry& geometry) {
  RavVolumeFormat format = RavVolumeFormat::RAW;
  rav_volume_format_named(p.OUTPUT_FORMAT, format);  // checked before
  out.use_format(format, geometry);
  if (format != RavVolumeFormat::RAW) return std::nullopt;
  return geometry;
}

void rav_describe_volume(const std::string& header, const std::string& raw_file,
                         RavVolumeGeometry geometry, std::int32_t NUM_Z, std::int32_t& status) {
  if (status != ST_OK) return;
  geometry.NUM_Z = NUM_Z;
  const std::string warning = rav_write_mhd(header, raw_file, geometry);
  // A volume without its header is still a volume: the run goes on and says so.
  if (!warning.empty()) {
    std::int32_t shown = ST_OK;
    UT_WRITE(warning, shown);
  }
}
