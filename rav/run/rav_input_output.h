// The run's side of the image and volume formats: which reader each image of the run goes
// through, the checks of the format keywords, the angles an HDF5 file gives, and the format and
// geometry of the volume written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rav.h"
#include "rav_core.h"
#include "rav_in_image.h"
#include "rav_slice_file.h"

// The format of the image file NAME: INPUT_FORMAT when the parameter file gives it, otherwise
// the one NAME's extension gives. INPUT_FORMAT must be a format's name (the checks see to it).
RavImageFormat rav_input_format(const ParameterSet& p, std::string_view name);

// Projection (or stored sinogram) NUMBER of the series: image NUMBER of STACK_FILE when there is
// one, otherwise the file named by FILE_PREFIX, NUMBER and FILE_POSTFIX.
RavImageSource rav_series_image(const ParameterSet& p, std::int32_t number, std::int32_t& status);

// A flat field (WHITE) or background image named NAME: the mean of the pages of a TIFF file, the
// mean of the images of HDF5_WHITE_DATASET (HDF5_DARK_DATASET) of an HDF5 file, the image of a
// keyword-header file. With NAME empty and an HDF5 STACK_FILE, that file's.
RavImageSource rav_reference_image(const ParameterSet& p, const std::string& name, bool white);

// The checks of the format keywords, after those of RAV_CHECK_PARAMETERS and in the same manner
// (one "ERROR: " line, the status set, false): format names, a STACK_FILE that is a TIFF or
// HDF5 file holding every image of the series, an HDF5 file's angles that agree with the
// parameter file's (or can be used, with ANGLES_FROM_FILE), a TIFF or HDF5 volume written by one
// process.
bool rav_check_formats(const ParameterSet& p, bool from_sinograms, std::int32_t& status);

// What is wrong with the angles of an HDF5 STACK_FILE's /exchange/theta for a run from
// projection images, in one line, or an empty text: without ANGLES_FROM_FILE they must agree
// with ANGLE_OFFSET and ANGLE_BETWEEN_PROJECTIONS (every angle within a hundredth of the step,
// so that angles that are not evenly spaced never pass); with it, the file must have them, one
// for every projection, finite and not all the same.
std::string rav_angles_problem(const ParameterSet& p, std::int32_t NUM_PROJECTIONS);

// With ANGLES_FROM_FILE, the angles of the NUM_PROJECTIONS projections of a run from projection
// images from /exchange/theta of an HDF5 STACK_FILE (in degrees). Evenly spaced ones become
// ANGLE_OFFSET and ANGLE_BETWEEN_PROJECTIONS of P (and the answer is empty); others are answered
// one by one (radians), and WEIGHTS then gets each projection's weight: its share of the
// angular range against the mean share. WEIGHTS stays empty otherwise.
std::vector<double> rav_file_angles(ParameterSet& p, std::int32_t NUM_PROJECTIONS,
                                    std::vector<float>& weights, std::int32_t& status);
// The same for evenly spaced angles only, without a word: P's angles as the run will take them.
void rav_even_file_angles(ParameterSet& p, std::int32_t NUM_PROJECTIONS);

// The geometry of the volume of a run (P with the axes exchanged for a horizontal rotation
// axis): its size, the voxel size from the pixel size (pixels when that is not known), the
// centre of its first voxel, the axis and the angles.
RavVolumeGeometry rav_volume_geometry(const ParameterSet& p, bool from_sinograms,
                                      std::int32_t NUM_X, std::int32_t NUM_Y, std::int32_t NUM_Z,
                                      std::int32_t NUM_PROJECTIONS);

// Makes OUT write OUTPUT_FORMAT; answers the geometry for the MetaImage header of a raw volume
// (none for the other formats).
std::optional<RavVolumeGeometry> rav_choose_output_format(SliceFile& out, const ParameterSet& p,
                                                          const RavVolumeGeometry& geometry);

// Writes HEADER, the MetaImage header of the complete raw volume RAW_FILE (in the same folder)
// of NUM_Z slices; a header that cannot be written is reported in a "WARNING: " line.
void rav_describe_volume(const std::string& header, const std::string& raw_file,
                         RavVolumeGeometry geometry, std::int32_t NUM_Z, std::int32_t& status);
