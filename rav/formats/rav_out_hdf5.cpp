// The volume as an HDF5 file: the dataset "/volume" of NUM_Z x NUM_Y x NUM_X little-endian
// 32-bit floats (so that h5py and numpy index it volume[z, y, x]), contiguous, with the
// geometry as attributes of the dataset:
//   voxel_size, origin    3 doubles (z, y, x): spacing and centre of the first voxel
//   units                 "mm", or "pixel" when the pixel size is not known
//   start_voxel           3 integers (z, y, x): START_VOXEL_3, START_VOXEL_2, START_VOXEL_1
//   rotation_axis_position, angle_offset_degrees, angle_between_projections_degrees (floats),
//   num_projections (integer)
#include <hdf5.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "rav_volume_writer.h"

namespace {

void attribute(hid_t object, const char* name, hid_t file_type, hid_t memory_type,
               hsize_t count, const void* values, bool& ok) {
  const hid_t space = count == 1 ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &count, nullptr);
  const hid_t attr = space >= 0 ? H5Acreate2(object, name, file_type, space, H5P_DEFAULT,
                                             H5P_DEFAULT)
                                : H5I_INVALID_HID;
  ok = ok && attr >= 0 && H5Awrite(attr, memory_type, values) >= 0;
  if (attr >= 0) H5Aclose(attr);
  if (space >= 0) H5Sclose(space);
}

void text_attribute(hid_t object, const char* name, const std::string& text, bool& ok) {
  const hid_t type = H5Tcopy(H5T_C_S1);
  H5Tset_size(type, text.size());
  attribute(object, name, type, type, 1, text.c_str(), ok);
  H5Tclose(type);
}

// z, y, x from x, y, z.
template <typename T>
std::array<T, 3> reversed(const std::array<T, 3>& values) {
  return {values[2], values[1], values[0]};
}

bool geometry_attributes(hid_t dataset, const RavVolumeGeometry& g) {
  bool ok = true;
  const auto spacing = reversed(g.spacing), origin = reversed(g.origin);
  const auto start = reversed(g.start_voxel);
  attribute(dataset, "voxel_size", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, 3, spacing.data(), ok);
  attribute(dataset, "origin", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, 3, origin.data(), ok);
  text_attribute(dataset, "units", g.millimetres ? "mm" : "pixel", ok);
  attribute(dataset, "start_voxel", H5T_STD_I32LE, H5T_NATIVE_INT32, 3, start.data(), ok);
  attribute(dataset, "rotation_axis_position", H5T_IEEE_F32LE, H5T_NATIVE_FLOAT, 1,
            &g.rotation_axis_position, ok);
  attribute(dataset, "angle_offset_degrees", H5T_IEEE_F32LE, H5T_NATIVE_FLOAT, 1,
            &g.angle_offset_degrees, ok);
  attribute(dataset, "angle_between_projections_degrees", H5T_IEEE_F32LE, H5T_NATIVE_FLOAT, 1,
            &g.angle_step_degrees, ok);
  attribute(dataset, "num_projections", H5T_STD_I32LE, H5T_NATIVE_INT32, 1, &g.num_projections,
            ok);
  return ok;
}

class Hdf5VolumeWriter final : public RavVolumeWriter {
 public:
  ~Hdf5VolumeWriter() override { close_file(); }

  int create(const std::string& path, const RavVolumeGeometry& geometry) override {
    close_file();
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    path_ = path;
    geometry_ = geometry;
    errno = 0;
    file_ = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file_ < 0) return errno != 0 ? errno : EIO;
    const std::array<hsize_t, 3> dims{static_cast<hsize_t>(geometry.NUM_Z),
                                      static_cast<hsize_t>(geometry.NUM_Y),
                                      static_cast<hsize_t>(geometry.NUM_X)};
    const hid_t space = H5Screate_simple(3, dims.data(), nullptr);
    dataset_ = H5Dcreate2(file_, "/volume", H5T_IEEE_F32LE, space, H5P_DEFAULT, H5P_DEFAULT,
                          H5P_DEFAULT);
    H5Sclose(space);
    if (dataset_ < 0 || !geometry_attributes(dataset_, geometry)) {
      abandon();
      return EIO;
    }
    return 0;
  }

  std::string write(std::int32_t record, std::span<const float> slice) override {
    const std::int64_t pixels = std::int64_t{geometry_.NUM_X} * geometry_.NUM_Y;
    if (dataset_ < 0 || record < 1 || record > geometry_.NUM_Z ||
        static_cast<std::int64_t>(slice.size()) != pixels) {
      return failure(record);
    }
    const std::array<hsize_t, 3> start{static_cast<hsize_t>(record - 1), 0, 0};
    const std::array<hsize_t, 3> count{1, static_cast<hsize_t>(geometry_.NUM_Y),
                                       static_cast<hsize_t>(geometry_.NUM_X)};
    const hid_t file_space = H5Dget_space(dataset_);
    const hid_t memory_space = H5Screate_simple(3, count.data(), nullptr);
    const bool ok = file_space >= 0 && memory_space >= 0 &&
                    H5Sselect_hyperslab(file_space, H5S_SELECT_SET, start.data(), nullptr,
                                        count.data(), nullptr) >= 0 &&
                    H5Dwrite(dataset_, H5T_NATIVE_FLOAT, memory_space, file_space, H5P_DEFAULT,
                             slice.data()) >= 0;
    if (memory_space >= 0) H5Sclose(memory_space);
    if (file_space >= 0) H5Sclose(file_space);
    return ok ? "" : failure(record);
  }

  std::string finish() override {
    if (file_ < 0) return "";
    const bool flushed = H5Fflush(file_, H5F_SCOPE_LOCAL) >= 0;
    const bool closed = close_file();
    if (flushed && closed) return "";
    return "ERROR: Problem closing output file " + path_;
  }

  void abandon() override {
    close_file();
    if (!path_.empty()) ::unlink(path_.c_str());
  }

 private:
  std::string failure(std::int32_t record) const {
    return "ERROR: Problem writing record " + std::to_string(record) + " of output file " + path_;
  }

  bool close_file() {
    bool ok = true;
    if (dataset_ >= 0) ok = H5Dclose(dataset_) >= 0;
    if (file_ >= 0) ok = H5Fclose(file_) >= 0 && ok;
    dataset_ = file_ = H5I_INVALID_HID;
    return ok;
  }

  hid_t file_ = H5I_INVALID_HID, dataset_ = H5I_INVALID_HID;
  std::string path_;
  RavVolumeGeometry geometry_;
};

}  // namespace

std::unique_ptr<RavVolumeWriter> rav_hdf5_volume_writer() {
  return std::make_unique<Hdf5VolumeWriter>();
}
