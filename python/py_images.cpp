// read_image and write_image: keyword-header image files through the program's own reader
// (every pixel type, either byte order, read as float32) and writer (every pixel type, either
// byte order). Their console lines become the text of the exceptions and warnings.
#include <filesystem>
#include <limits>
#include <vector>

#include "dax.h"
#include "py_module.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {

// What the reader did with one file.
struct ImageRead {
  std::int32_t status = ST_OK;
  std::int32_t retstat = 0;
  std::int32_t dim_1 = -1, dim_2 = -1;
  std::vector<float> pixels;
  std::string transcript;
};

ImageRead read_zelfa(const std::string& file_name) {
  ImageRead r;
  std::lock_guard<std::mutex> lock(program_state_lock());
  // Every file is read as by a program that has read nothing before: a header without ByteOrder
  // or DataType does not borrow them from the previous file.
  fresh_program_state();
  ST_DEF_SYSTEM(r.status);
  StdoutCapture capture;
  rav_in_zelfa_size(file_name, r.retstat, r.dim_1, r.dim_2, r.status);
  if (r.status == ST_OK && r.retstat == 0 && r.dim_1 >= 1 && r.dim_2 >= 1) {
    r.pixels.resize(static_cast<std::size_t>(r.dim_1) * static_cast<std::size_t>(r.dim_2));
    std::int32_t xnum = 0, ynum = 0;
    RAV_IN_ZELFA(r.dim_1, r.dim_2, 1, 1, r.dim_1, r.dim_2, file_name, r.retstat, xnum, ynum,
                 r.pixels, r.status);
  }
  r.transcript = capture.finish();
  std::int32_t fresh;
  ST_DEF_SYSTEM(fresh);  // nothing of this call stays recorded
  return r;
}

py::array_t<float> read_image(const std::string& file_name) {
  // A directory opens as a stream that cannot be read: say what it is.
  std::error_code ignored;
  if (std::filesystem::is_directory(file_name, ignored)) {
    raise_os_error(file_name, false, "cannot open the image");
  }
  flush_python_output();
  ImageRead r;
  {
    py::gil_scoped_release release;
    r = read_zelfa(file_name);
  }
  const std::string messages = message_lines(r.transcript);
  const std::string context = file_name + ": " + messages;
  if (r.status == 1000) raise_os_error(file_name, false, "cannot open the image");
  if (r.retstat == RAV_IN_ZELFA_UNUSABLE) {
    throw py::value_error(file_name + ": not readable as a keyword-header image:\n" + messages);
  }
  if (r.retstat == 0 && (r.dim_1 < 1 || r.dim_2 < 1)) {
    throw py::value_error(file_name + ": the header gives no image size (Dim_1 = " +
                          std::to_string(r.dim_1) + ", Dim_2 = " + std::to_string(r.dim_2) +
                          ")");
  }
  if (r.retstat != 0) {
    throw py::value_error(file_name + ": the pixel data end before the image does (" +
                          std::to_string(r.dim_1) + " x " + std::to_string(r.dim_2) +
                          " pixels); the file is truncated");
  }
  if (r.status != ST_OK) {
    throw std::runtime_error(context + "failed with status " + std::to_string(r.status));
  }
  if (messages.find("WARNING: ") != std::string::npos) {
    if (PyErr_WarnEx(PyExc_UserWarning, context.c_str(), 1) != 0) throw py::error_already_set();
  }
  py::array_t<float> image({py::ssize_t{r.dim_2}, py::ssize_t{r.dim_1}});
  std::copy(r.pixels.begin(), r.pixels.end(), image.mutable_data());
  return image;
}

// The pixel type that stores IMAGE (an array of real numbers) as DTYPE asks, or by IMAGE's own
// type when DTYPE is None: floats as FLOAT, 8- and 16-bit integers as 16-bit, wider ones as
// 32-bit integers.
DaxPixelType pixel_type_for(const py::array& image, py::handle dtype) {
  const py::dtype type = dtype.is_none()
                             ? image.dtype()
                             : py::dtype::from_args(py::reinterpret_borrow<py::object>(dtype));
  const char kind = type.kind();
  const bool is_signed = kind == 'i';
  if (dtype.is_none()) {
    if (kind == 'f') return DaxPixelType::FLOAT;
    if (kind == 'b') return DaxPixelType::UNSIGNED_SHORT;
    if (type.itemsize() <= 2) {
      return is_signed ? DaxPixelType::SIGNED_SHORT : DaxPixelType::UNSIGNED_SHORT;
    }
    return is_signed ? DaxPixelType::SIGNED_INTEGER : DaxPixelType::UNSIGNED_INTEGER;
  }
  const std::string name = type.attr("name").cast<std::string>();
  if (name == "float32") return DaxPixelType::FLOAT;
  if (name == "int16") return DaxPixelType::SIGNED_SHORT;
  if (name == "uint16") return DaxPixelType::UNSIGNED_SHORT;
  if (name == "int32") return DaxPixelType::SIGNED_INTEGER;
  if (name == "uint32") return DaxPixelType::UNSIGNED_INTEGER;
  throw py::value_error("the format stores float32, int16, uint16, int32 or uint32 pixels, not " +
                        name);
}

// IMAGE as a C-contiguous array of TYPE's pixels in the machine's byte order. Floats stored as
// integers are rounded to the nearest; values the type cannot hold raise ValueError.
py::array stored_pixels(const py::array& image, DaxPixelType type) {
  const py::module_ np = py::module_::import("numpy");
  const char* names[] = {"float32", "uint16", "int16", "uint32", "int32"};
  const py::object target = np.attr("dtype")(names[static_cast<int>(type)]);
  py::object values = image;
  if (type != DaxPixelType::FLOAT && image.size() > 0) {
    if (image.dtype().kind() == 'f') {
      if (!np.attr("isfinite")(image).attr("all")().cast<bool>()) {
        throw py::value_error("an image with values that are not finite cannot be stored as " +
                              py::str(target).cast<std::string>());
      }
      values = np.attr("rint")(image);
    }
    const py::object limits = np.attr("iinfo")(target);
    const py::object low = values.attr("min")(), high = values.attr("max")();
    if (low < limits.attr("min") || high > limits.attr("max")) {
      throw py::value_error("values from " + py::str(low).cast<std::string>() + " to " +
                            py::str(high).cast<std::string>() + " do not fit " +
                            py::str(target).cast<std::string>() + " pixels");
    }
  }
  return np.attr("ascontiguousarray")(values, target);
}

void write_image(const std::string& file_name, const py::object& image,
                 const py::object& dtype, const std::string& byte_order) {
  const py::array array = py::array::ensure(image);
  const char kind = array ? array.dtype().kind() : '?';
  if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f') {
    throw py::type_error("image must be an array of real numbers");
  }
  if (array.ndim() != 2 || array.shape(0) < 1 || array.shape(1) < 1 ||
      array.shape(0) > std::numeric_limits<std::int32_t>::max() ||
      array.shape(1) > std::numeric_limits<std::int32_t>::max()) {
    throw py::value_error("image must be a 2-D array (rows x columns) with at least one pixel");
  }
  std::int32_t status = ST_OK;
  const bool machine_big = UT_BIG_ENDIAN(status);
  bool big_endian = machine_big;
  if (byte_order == "big" || byte_order == "little") {
    big_endian = byte_order == "big";
  } else if (byte_order != "native") {
    throw py::value_error("byte_order must be \"native\", \"little\" or \"big\", not \"" +
                          byte_order + "\"");
  }
  const DaxPixelType type = pixel_type_for(array, dtype);
  const py::array pixels = stored_pixels(array, type);
  const auto dim_1 = static_cast<std::int32_t>(pixels.shape(1));
  const auto dim_2 = static_cast<std::int32_t>(pixels.shape(0));
  const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(pixels.data()),
                                            static_cast<std::size_t>(pixels.nbytes()));
  flush_python_output();
  std::int32_t retstat = 0;
  std::string transcript;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(program_state_lock());
    fresh_program_state();
    ST_DEF_SYSTEM(status);
    StdoutCapture capture;
    DAX_OUT_ZELFA_PIXELS(file_name, type, big_endian, dim_1, dim_2, bytes, retstat, status);
    transcript = capture.finish();
    ST_DEF_SYSTEM(status);
  }
  if (retstat == 1) raise_os_error(file_name, true, "cannot create the image");
  if (retstat != 0) raise_os_error(file_name, true, "writing the image failed");
}

}  // namespace

void bind_images(py::module_& m) {
  m.def("read_image", &read_image, py::arg("file_name"),
        R"(Reads image 1 of a keyword-header image file ("{ key = value; ... }" then the pixels):
any pixel type (FLOAT/REAL, SignedShort, UnsignedShort, SignedInteger, UnsignedInteger) in
either byte order, as float32 (rows x columns = Dim_2 x Dim_1), as the program reads its
projections and sinograms. OSError when the file cannot be opened, ValueError (with the
reader's messages) when it holds no readable image; the reader's warnings about an image it
could read come as a UserWarning. Each call starts afresh: a header without ByteOrder or
DataType does not take them from a file read before.)");
  m.def("write_image", &write_image, py::arg("file_name"), py::arg("image"),
        py::arg("dtype") = py::none(), py::arg("byte_order") = "native",
        R"(Writes a 2-D array (rows x columns) as a keyword-header image file with a 1024-byte
header, as the program writes its images.

dtype: the stored pixel type, float32, int16, uint16, int32 or uint32; by default the
    array's own (floats as float32, 8- and 16-bit integers as 16-bit, wider integers as
    32-bit). Floats stored as integers are rounded to the nearest; values the type cannot
    hold raise ValueError.
byte_order: "native" (default), "little" or "big" (the header's ByteOrder says which).)");
}
