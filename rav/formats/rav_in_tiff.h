// The TIFF image reader (libtiff): one image per file, or one image per page of a multi-page
// stack; 8-, 16- and 32-bit integers, 32- and 64-bit floats, one sample per pixel, strips or
// tiles, any compression libtiff decodes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Reads columns XSTRELM..XENDELM of rows YSTRELM..YENDELM (1-based, inclusive) of page PAGE
// (from 0) of FILE_NAME into the start of DATA (XMAXDAT x YMAXDAT, first index fastest) as
// floats, with the contract of RAV_IN_ZELFA: bad dimensions or region give STATUS 180001,
// 180002, 180005, 180006; a file that cannot be opened STATUS 1000 (RETSTAT 3); otherwise
// RETSTAT 0 (read; XNUMDAT and YNUMDAT set), RAV_IN_ZELFA_SHORT_DATA (pixel data that cannot
// be read, a truncated or corrupt file; DATA may hold part of the region),
// RAV_IN_ZELFA_BEYOND_IMAGE (DATA untouched) or RAV_IN_ZELFA_UNUSABLE (not a TIFF file, no such
// page, a pixel type or compression that cannot be input; DATA untouched). Every failure but
// the region beyond the image prints a "WARNING: " line that says why.
// With STACK every page must have the size of page 0: a page of another size is unusable.
// The file stays open between calls (a stack is read page after page) until
// rav_close_image_files, or until another file is asked for.
void RAV_IN_TIFF(std::string_view file_name, std::int64_t page, bool stack, std::int32_t xmaxdat,
                 std::int32_t ymaxdat, std::int32_t xstrelm, std::int32_t ystrelm,
                 std::int32_t xendelm, std::int32_t yendelm, std::int32_t& retstat,
                 std::int32_t& xnumdat, std::int32_t& ynumdat, std::span<float> data,
                 std::int32_t& status);

// The number of pages of FILE_NAME; RETSTAT and STATUS as for RAV_IN_TIFF (0 pages unless
// RETSTAT is 0).
std::int64_t rav_tiff_pages(std::string_view file_name, std::int32_t& retstat,
                            std::int32_t& status);

// Closes the file the reader keeps open.
void rav_tiff_close();
// Forgets the layouts of the plain pages read so far (they are otherwise kept for the run, each
// with the signature of its file, and used while the file is unchanged).
void rav_tiff_forget_pages();
