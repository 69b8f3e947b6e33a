// The TIFF image reader over libtiff. The file of the last call stays open, so that the pages of
// a stack are found by their offsets instead of a walk from the first page on every call. Files
// are read with pread, not mapped: mapping and unmapping a file per projection costs more than
// reading the few rows of a pass. A plain page (rav_tiff_plain.h) that libtiff has read once is
// read again without it. libtiff's own messages never reach the console: its errors become the
// reason of our warning, its warnings are dropped.
#include "rav_in_tiff.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rav_image_region.h"
#include "rav_in_zelfa.h"
#include "rav_tiff_open.h"
#include "rav_tiff_plain.h"
#include "ut.h"

namespace {

constexpr std::string_view kRoutine = "Subroutine RAV_IN_TIFF V0.1 ";
// The largest tile or row of a strip, and the most bytes decoded at once: a damaged header
// cannot ask for more.
constexpr std::int64_t kMaxBlockBytes = std::int64_t{64} << 20;
constexpr std::int64_t kMaxDecodeBytes = std::int64_t{1} << 30;

// The open file and what is known of it.
struct OpenTiff {
  TIFF* tif = nullptr;
  RavTiffFile file;
  std::string name;
  RavFileSignature signature;
  std::uint32_t width_0 = 0, height_0 = 0;  // the size of page 0
  std::int64_t page = 0;                     // the page in hand
  std::vector<std::uint64_t> offsets;        // the directory offsets of pages 0, 1, ... so far
};
OpenTiff open_tiff;

// The plain pages read so far, by file and page, with the file's signature then.
struct PlainEntry {
  RavFileSignature signature;
  RavPlainTiffPage page;
};
std::map<std::pair<std::string, std::int64_t>, PlainEntry> plain_pages;
// More pages than any scan has: beyond, the table starts again.
constexpr std::size_t kMaxPlainPages = 1 << 16;

// The two lines of a TIFF file that cannot be input.
void tiff_warning(const std::string& reason, std::int32_t& status) {
  UT_WRITE("WARNING: This TIFF image cannot be input:", status);
  UT_WRITE("         " + reason, status);
}

// The open file of NAME, opened when another (or no) file is open. False when it cannot be
// opened (STATUS 1000) or is not a TIFF file (with a warning, RETSTAT unusable).
bool open_file(const std::string& name, std::int32_t& retstat, std::int32_t& status) {
  RavFileSignature signature;
  const bool exists = rav_file_signature(name.c_str(), signature);
  if (exists && open_tiff.tif != nullptr && open_tiff.name == name &&
      open_tiff.signature == signature) {
    return true;
  }
  rav_tiff_close();
  open_tiff.file.descriptor = exists ? ::open(name.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  if (open_tiff.file.descriptor < 0) {
    ST_SAVE(kRoutine);
    status = 1000;
    retstat = 3;
    return false;
  }
  // "O": the offsets and sizes of strips and tiles are read when needed, not all at once (a
  // damaged count cannot make the reader load millions of them).
  TIFF* tif = rav_tiff_open(open_tiff.file, name, "rO");
  if (tif == nullptr) {
    const std::string error = open_tiff.file.error;
    rav_tiff_close();
    tiff_warning("not a TIFF file" + (error.empty() ? "" : " (" + error + ")"), status);
    retstat = RAV_IN_ZELFA_UNUSABLE;
    return false;
  }
  open_tiff.tif = tif;
  open_tiff.name = name;
  open_tiff.signature = signature;
  open_tiff.offsets.assign(1, TIFFCurrentDirOffset(tif));
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &open_tiff.width_0);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &open_tiff.height_0);
  return true;
}

// The layout of the page in hand.
struct Page {
  std::uint32_t width = 0, height = 0;
  RavSampleType type = RavSampleType::UINT8;
  std::size_t sample_bytes = 1;
  bool tiled = false;
  std::uint32_t block_width = 0, block_height = 0;  // of a tile, or the image width and the
                                                    // rows of a strip
  std::int64_t block_bytes = 0;  // of a tile, or of one row of a strip
};

// The layout of the current page, or the reason it cannot be input.
std::string describe_page(TIFF* tif, Page& page) {
  std::uint16_t bits = 1, samples = 1, format = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  if (samples != 1) {
    return std::to_string(samples) + " samples per pixel (only grey-level images can be input)";
  }
  if (!rav_sample_type(format, bits, page.type)) {
    return std::to_string(bits) + "-bit samples of sample format " + std::to_string(format) +
           " are not a pixel type that can be input";
  }
  if (TIFFIsCODECConfigured(compression) == 0) {
    return "compression " + std::to_string(compression) + " cannot be decoded here";
  }
  page.sample_bytes = rav_sample_bytes(page.type);
  page.tiled = TIFFIsTiled(tif) != 0;
  if (page.tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &page.block_width);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &page.block_height);
  } else {
    std::uint32_t rows = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    page.block_width = page.width;
    page.block_height = std::min(rows, page.height);
  }
  // A tile, or one row of a strip.
  page.block_bytes = std::int64_t{page.block_width} * (page.tiled ? page.block_height : 1) *
                     static_cast<std::int64_t>(page.sample_bytes);
  if (page.width == 0 || page.height == 0 || page.block_width == 0 || page.block_height == 0) {
    return "the image or its strips or tiles have no pixels";
  }
  if (page.block_bytes > kMaxBlockBytes) return "its rows or tiles are too large";
  return "";
}

// Makes PAGE the page in hand. A page seen before is found by its offset; the others by reading
// on along the chain of directories from the last page seen, so that the pages of a stack read
// in order cost one directory each (TIFFSetDirectory would walk the chain from page 0 every
// time).
bool seek_page(std::int64_t page) {
  OpenTiff& t = open_tiff;
  if (page == t.page) return true;
  const std::int64_t known = t.page;
  t.page = -1;  // until libtiff has read the directory
  // From the page itself when its offset is known, otherwise from the last page seen.
  const std::int64_t from = std::min<std::int64_t>(page, std::ssize(t.offsets) - 1);
  if (from != known &&
      TIFFSetSubDirectory(t.tif, t.offsets[static_cast<std::size_t>(from)]) == 0) {
    return false;
  }
  for (std::int64_t at = from; at < page; ++at) {
    if (TIFFReadDirectory(t.tif) == 0) return false;
    t.offsets.push_back(TIFFCurrentDirOffset(t.tif));
  }
  t.page = page;
  return true;
}

// Goes to PAGE and describes it; RETSTAT unusable with a warning when that fails.
bool go_to_page(std::int64_t page_number, bool stack, Page& page, std::int32_t& retstat,
                std::int32_t& status) {
  TIFF* tif = open_tiff.tif;
  std::string reason;
  if (page_number < 0 || page_number >= std::int64_t{UINT32_MAX} || !seek_page(page_number)) {
    reason = "page " + std::to_string(page_number) + " is not in the file";
  } else {
    reason = describe_page(tif, page);
  }
  if (reason.empty() && stack && (page.width != open_tiff.width_0 || page.height != open_tiff.height_0)) {
    reason = "page " + std::to_string(page_number) + " is " + std::to_string(page.width) + " x " +
             std::to_string(page.height) + " pixels, page 0 is " +
             std::to_string(open_tiff.width_0) + " x " + std::to_string(open_tiff.height_0);
  }
  if (reason.empty()) return true;
  tiff_warning(reason, status);
  retstat = RAV_IN_ZELFA_UNUSABLE;
  return false;
}

// The region of the image to read, 0-based and inclusive.
struct Window {
  std::int64_t x0, y0, x1, y1;
  std::int32_t xmaxdat;
};

// Reads the blocks (strips or tiles) that cover WINDOW and stores their pixels in DATA. False
// when a block cannot be decoded. Of a strip only the rows up to the last one wanted are
// decoded; a tile is decoded whole.
bool read_blocks(const Page& page, const Window& w, std::span<float> data) {
  TIFF* tif = open_tiff.tif;
  const auto sample = static_cast<std::int64_t>(page.sample_bytes);
  const std::int64_t row_bytes = std::int64_t{page.block_width} * sample;
  // A strip is decoded from its first row to the last row wanted.
  const std::int64_t rows =
      page.tiled ? page.block_height
                 : std::min<std::int64_t>(page.block_height,
                                          w.y1 - w.y0 / page.block_height * page.block_height + 1);
  if (rows * row_bytes > kMaxDecodeBytes) return false;
  // Not cleared: only the bytes libtiff has decoded are used.
  const std::unique_ptr<unsigned char[]> block(new unsigned char[static_cast<std::size_t>(rows * row_bytes)]);
  const auto block_size = static_cast<tmsize_t>(rows * row_bytes);
  for (std::int64_t by = w.y0 / page.block_height; by <= w.y1 / page.block_height; ++by) {
    const std::int64_t top = by * page.block_height;
    // The rows of the block inside the window; a strip at the end of the image holds fewer.
    const std::int64_t y_from = std::max(w.y0, top);
    const std::int64_t y_to =
        std::min({w.y1, top + page.block_height - 1, std::int64_t{page.height} - 1});
    const std::int64_t x_first = page.tiled ? w.x0 / page.block_width : 0;
    const std::int64_t x_last = page.tiled ? w.x1 / page.block_width : 0;
    for (std::int64_t bx = x_first; bx <= x_last; ++bx) {
      const std::int64_t left = bx * page.block_width;
      const std::int64_t x_from = std::max(w.x0, left);
      const std::int64_t x_to = std::min(w.x1, left + page.block_width - 1);
      const std::int64_t wanted = (y_to - top) * row_bytes + (x_to - left + 1) * sample;
      const tmsize_t got =
          page.tiled
              ? TIFFReadEncodedTile(tif,
                                    TIFFComputeTile(tif, static_cast<std::uint32_t>(left),
                                                    static_cast<std::uint32_t>(top), 0, 0),
                                    block.get(), block_size)
              : TIFFReadEncodedStrip(tif, static_cast<std::uint32_t>(by), block.get(),
                                     static_cast<tmsize_t>((y_to - top + 1) * row_bytes));
      if (got < wanted) return false;
      for (std::int64_t y = y_from; y <= y_to; ++y) {
        const unsigned char* source = block.get() + (y - top) * row_bytes + (x_from - left) * sample;
        float* target = data.data() + (y - w.y0) * w.xmaxdat + (x_from - w.x0);
        rav_convert_samples(source, page.type, static_cast<std::size_t>(x_to - x_from + 1), target);
      }
    }
  }
  return true;
}

// Reads the window of a plain page seen before, through the open file's descriptor when it is
// that file, else through one of its own. RETSTAT as RAV_IN_TIFF's.
void read_plain(const std::string& name, const PlainEntry& entry, const Window& w,
                std::int32_t& retstat, std::span<float> data, std::int32_t& status) {
  const RavPlainTiffPage& page = entry.page;
  if (w.x1 >= page.width || w.y1 >= page.height) {
    retstat = RAV_IN_ZELFA_BEYOND_IMAGE;
    return;
  }
  const bool open = open_tiff.tif != nullptr && open_tiff.name == name &&
                    open_tiff.signature == entry.signature;
  const int descriptor =
      open ? open_tiff.file.descriptor : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    ST_SAVE(kRoutine);
    status = 1000;
    retstat = 3;
    return;
  }
  const bool read = rav_read_plain_tiff(descriptor, page, w.x0, w.y0, w.x1, w.y1, w.xmaxdat, data);
  if (!open) ::close(descriptor);
  if (!read) {
    tiff_warning("the pixel data cannot be read (the file ends before them)", status);
    retstat = RAV_IN_ZELFA_SHORT_DATA;
  }
  rav_note_read_type(page.type);
}

// Reads the window through libtiff, and remembers the page when it is plain.
void read_with_libtiff(const std::string& name, std::int64_t page_number, bool stack,
                       const Window& w, std::int32_t& retstat, std::span<float> data,
                       std::int32_t& status) {
  Page page;
  if (!open_file(name, retstat, status)) return;
  if (!go_to_page(page_number, stack, page, retstat, status)) return;
  if (w.x1 >= page.width || w.y1 >= page.height) {
    retstat = RAV_IN_ZELFA_BEYOND_IMAGE;
    return;
  }
  open_tiff.file.error.clear();
  if (!read_blocks(page, w, data)) {
    tiff_warning("the pixel data cannot be read" +
                     (open_tiff.file.error.empty() ? "" : " (" + open_tiff.file.error + ")"),
                 status);
    retstat = RAV_IN_ZELFA_SHORT_DATA;
    return;
  }
  rav_note_read_type(page.type);
  // A page of a stack is remembered once it has passed the check of its size.
  RavPlainTiffPage plain;
  if ((stack || page_number == 0) &&
      rav_plain_tiff_page(open_tiff.tif, page.width, page.height, page.type, plain)) {
    if (plain_pages.size() >= kMaxPlainPages) plain_pages.clear();
    plain_pages[{name, page_number}] = {open_tiff.signature, plain};
  }
}

}  // namespace

void rav_tiff_close() {
  if (open_tiff.tif != nullptr) TIFFClose(open_tiff.tif);
  if (open_tiff.file.descriptor >= 0) ::close(open_tiff.file.descriptor);
  open_tiff = OpenTiff{};
}

void rav_tiff_forget_pages() { plain_pages.clear(); }

std::int64_t rav_tiff_pages(std::string_view file_name, std::int32_t& retstat,
                            std::int32_t& status) {
  if (st_bad(status, kRoutine)) return 0;
  retstat = 0;
  if (!open_file(std::string(file_name), retstat, status)) return 0;
  return TIFFNumberOfDirectories(open_tiff.tif);  // leaves the page in hand as it was
}

void RAV_IN_TIFF(std::string_view file_name, std::int64_t page_number, bool stack,
                 std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                 std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                 std::int32_t& retstat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                 std::span<float> data, std::int32_t& status) {
  if (!rav_region_entry(kRoutine, xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm,
                        data.size(), retstat, status)) {
    return;
  }
  const std::string name(file_name);
  const Window window{xstrelm - 1, ystrelm - 1, xendelm - 1, yendelm - 1, xmaxdat};
  RavFileSignature signature;
  const auto known = plain_pages.find({name, page_number});
  if (known != plain_pages.end() && rav_file_signature(name.c_str(), signature) &&
      signature == known->second.signature) {
    read_plain(name, known->second, window, retstat, data, status);
  } else {
    read_with_libtiff(name, page_number, stack, window, retstat, data, status);
  }
  if (retstat != 0 || status != ST_OK) return;
  xnumdat = xendelm - xstrelm + 1;
  ynumdat = yendelm - ystrelm + 1;
}
