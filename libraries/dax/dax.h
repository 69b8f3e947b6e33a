// File access library: the raw file layer over stdio streams, the region readers of the
// keyword-header image format and its writer.
//
// Result codes (RETSTAT) of the raw layer, also passed on by the routines above it:
//   0 success
//   1 bad argument (buffer smaller than the request, mode out of range, FILE_ID that is not
//     the slot's identifier)
//   2 the slot is already open (open) or not open (read, write, close)
//   3 the stream operation failed (open, fgets, write, or the flush of a close)
//   4 the seek failed
//   5 fewer bytes read than requested
//
// Byte swap codes (SWAP): 0 none, 1 exchange the bytes of every 2-byte unit, 2 reverse the
// bytes of every 4-byte unit; only whole units are swapped.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------------------------
// Raw file layer. At most one input and one output file are open at a time, each in its slot.

// The handle table. An identifier is -1 until its slot is first opened, then 1 (input) or
// 2 (output); closing clears only the open flag.
struct DaxFileTable {
  std::FILE* ut_file_in = nullptr;
  std::int32_t ut_file_in_open = 0;
  std::int32_t ut_file_in_id = -1;
  std::FILE* ut_file_out = nullptr;
  std::int32_t ut_file_out_open = 0;
  std::int32_t ut_file_out_id = -1;
};
extern DaxFileTable dax_file_table;

// Mode codes of DAX_FILEOPENC: "rb", "wb", "r", "w".
constexpr std::int32_t DAX_MODE_READ = 1;
constexpr std::int32_t DAX_MODE_WRITE = 2;
constexpr std::int32_t DAX_MODE_READ_ASCII = 3;
constexpr std::int32_t DAX_MODE_WRITE_ASCII = 4;

// Opens NAME (NUL-terminated) in the slot of MODE and returns the slot's identifier.
void DAX_FILEOPENC(const char* name, std::int32_t mode, std::int32_t& retstat,
                   std::int32_t& file_id);
// The system's error number of the last DAX_FILEOPENC whose stream could not be opened (ENOENT,
// EACCES, ...); 0 after one that opened.
int dax_open_error();
// Closes the file of FILE_ID. A stream whose final flush fails is closed all the same and
// gives 3, so that a lost write is not reported as success.
void DAX_FILECLOSEC(std::int32_t file_id, std::int32_t& retstat);
// Reads NBYTES bytes from the current position of the input file into BUFFER (its size is the
// buffer size) and swaps the bytes read. Prints a warning when the file is not open or the
// read is short.
void DAX_FILEREADC(std::int32_t file_id, std::int64_t nbytes, std::int32_t swap,
                   std::int32_t& retstat, std::int64_t& nread, std::span<std::uint8_t> buffer);
// The same after positioning the input file at byte OFFSET (64-bit) from its start, printing
// nothing. NBYTES 0 only positions the file.
void DAX_FILEPREADC(std::int32_t file_id, std::int64_t offset, std::int64_t nbytes,
                    std::int32_t swap, std::int32_t& retstat, std::int64_t& nread,
                    std::span<std::uint8_t> buffer);
// Reads one text line (fgets) of at most MAXLEN - 1 characters into LINE, which holds MAXLEN
// bytes; the bytes after the terminating NUL are set to NUL. A line holding only its line end
// becomes a single blank. 3 at end of file.
void DAX_ASCIIREADC(std::int32_t file_id, std::int32_t maxlen, std::int32_t& retstat,
                    char* line);
// Swaps NBYTES bytes of BUFFER in place (the caller's buffer changes), then writes them to the
// output file. A short write prints "dax_filewritec: errno = ..." and gives 3.
void DAX_FILEWRITEC(std::int32_t file_id, std::int64_t nbytes, std::int32_t swap,
                    std::span<std::uint8_t> buffer, std::int32_t& retstat,
                    std::int64_t& nwritten);
// Writes the first N values of DATA as 4-byte floats in the machine's byte order; NWRITTEN
// counts values. A short write prints "ERROR: dax_filewrealc: errno = ..." and gives 3.
void DAX_FILEWREALC(std::int32_t file_id, std::int64_t n, std::span<const float> data,
                    std::int32_t& retstat, std::int64_t& nwritten);

// Status-checked open: FILE_NAME is taken to its significant length (no blank name: 180033);
// MODE is one of "READ", "WRITE", "READ_ASCII", "WRITE_ASCII" (trailing blanks ignored,
// anything else: 180017). Failures of the open itself come back in RETSTAT only.
void DAX_FILEOPEN(std::string_view file_name, std::string_view mode, std::int32_t& retstat,
                  std::int32_t& file_id, std::int32_t& status);
// DAX_FILEOPEN after "~" translation of the name, optionally prompting for the name (on
// standard input) until a file opens; an escape ("\\" or end of input) or a failed
// translation gives RETSTAT 1. With PROMPT the name typed is returned in FILE_NAME.
void DAX_OPENFILE(bool prompt, std::string_view mode, std::string& file_name,
                  std::int32_t& retstat, std::int32_t& file_id, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Region readers. They read columns XSTRELM..XENDELM of rows YSTRELM..YENDELM (1-based,
// inclusive) of a DIM_1 x DIM_2 image whose pixel data start at byte DATA_START (1-based,
// 64-bit) of the open input file, into the start of DATA (XMAXDAT x YMAXDAT, first index
// fastest), reading BUFFER.size() pixels at a time. Pixels beyond XMAXDAT or YMAXDAT are not
// stored; XNUMDAT and YNUMDAT give the stored width and height.
// RETSTAT is 0 when the whole region was read; when the file ends early it is the raw layer's
// code of the failed read (5 for a short read), XNUMDAT and YNUMDAT are left unchanged and
// DATA holds only the rows that arrived.
// Checks: XMAXDAT <= 0 (or DATA smaller than XMAXDAT x YMAXDAT): 180001; YMAXDAT <= 0: 180002;
// DIM_1, XSTRELM, XBIN, DATA_START <= 0 or an empty BUFFER: 180017; DIM_2, YSTRELM,
// YBIN <= 0: 180018; a region outside the image: 180005 / 180006. Transposing or re-binning
// is not implemented: 9999.
void DAX_INP_2DR4(std::int32_t file_id, bool byte_swap, bool x_reverse, bool y_reverse,
                  bool transpose, std::int32_t dim_1, std::int32_t dim_2, std::int32_t xstrelm,
                  std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                  std::int32_t xbin, std::int32_t ybin, std::int64_t data_start,
                  std::span<float> buffer, std::int32_t xmaxdat, std::int32_t ymaxdat,
                  std::int32_t& xnumdat, std::int32_t& ynumdat, std::span<float> data,
                  std::int32_t& retstat, std::int32_t& status);
// 2-byte integers, signed or unsigned.
void DAX_INP_2DI2(std::int32_t file_id, bool byte_swap, bool is_signed, bool x_reverse,
                  bool y_reverse, bool transpose, std::int32_t dim_1, std::int32_t dim_2,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin,
                  std::int64_t data_start, std::span<std::int16_t> buffer, std::int32_t xmaxdat,
                  std::int32_t ymaxdat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                  std::span<float> data, std::int32_t& retstat, std::int32_t& status);
// 4-byte integers, signed or unsigned.
void DAX_INP_2DI4(std::int32_t file_id, bool byte_swap, bool is_signed, bool x_reverse,
                  bool y_reverse, bool transpose, std::int32_t dim_1, std::int32_t dim_2,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin,
                  std::int64_t data_start, std::span<std::int32_t> buffer, std::int32_t xmaxdat,
                  std::int32_t ymaxdat, std::int32_t& xnumdat, std::int32_t& ynumdat,
                  std::span<float> data, std::int32_t& retstat, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Image writer: a 1024-byte header ("{", one "Key = value;" line per key, blanks, "}" and a
// line feed at bytes 1022 and 1023) followed by the region's pixels row after row in the
// machine's byte order.

// Pixel types the writer can store.
enum class DaxPixelType {
  FLOAT,           // 4-byte IEEE single, DataType "FLOAT"
  UNSIGNED_SHORT,  // 2-byte unsigned integer, DataType "UnsignedShort"
  // Written only from pixels already in their type (DAX_OUT_ZELFA_PIXELS):
  SIGNED_SHORT,      // 2-byte two's-complement integer, DataType "SignedShort"
  UNSIGNED_INTEGER,  // 4-byte unsigned integer, DataType "UnsignedInteger"
  SIGNED_INTEGER,    // 4-byte two's-complement integer, DataType "SignedInteger"
};

// Writes DATA(XSTRELM..XENDELM, YSTRELM..YENDELM) as a new image file of 4-byte floats.
// RETSTAT: 1 when the file cannot be opened, 3 when a header or pixel write failed, otherwise
// the close's result. A region outside DATA is refused before anything is opened: 180005 /
// 180006 (and 180001 / 180002 for bad dimensions or a DATA smaller than them).
void DAX_OUT_ZELFA(std::string_view file_name, std::int32_t xmaxdat, std::int32_t ymaxdat,
                   std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                   std::int32_t yendelm, std::span<const float> data, std::int32_t& retstat,
                   std::int32_t& status);
// The same with a choice of pixel type, FLOAT or UNSIGNED_SHORT (any other: 180017).
// UNSIGNED_SHORT rounds each value to the nearest integer and clips it to 0..65535 (NaN
// becomes 0).
void DAX_OUT_ZELFA_TYPED(std::string_view file_name, DaxPixelType pixel_type,
                         std::int32_t xmaxdat, std::int32_t ymaxdat, std::int32_t xstrelm,
                         std::int32_t ystrelm, std::int32_t xendelm, std::int32_t yendelm,
                         std::span<const float> data, std::int32_t& retstat,
                         std::int32_t& status);

// Writes DIM_1 x DIM_2 pixels of PIXEL_TYPE, given in the machine's byte order as PIXELS (row
// after row, dax_pixel_bytes each), as a new image file whose pixels are stored most significant
// byte first when BIG_ENDIAN and least significant first otherwise (the header's ByteOrder
// says which). RETSTAT as DAX_OUT_ZELFA; DIM_1 < 1 or PIXELS too short: 180001; DIM_2 < 1: 180002.
void DAX_OUT_ZELFA_PIXELS(std::string_view file_name, DaxPixelType pixel_type, bool big_endian,
                          std::int32_t dim_1, std::int32_t dim_2,
                          std::span<const std::uint8_t> pixels, std::int32_t& retstat,
                          std::int32_t& status);
// Bytes of one pixel of PIXEL_TYPE: 2 or 4.
std::int32_t dax_pixel_bytes(DaxPixelType pixel_type);
// What both writers do around the pixels: opens FILE_NAME for writing, writes the 1024-byte
// header (HeaderID, Image 1, ByteOrder, DataType, Dim_1, Dim_2) of a DIM_1 x DIM_2 image of
// PIXEL_TYPE stored most significant byte first when BIG_ENDIAN, has WRITE_PIXELS write the
// pixels to the open file (it returns the raw layer's code of its first failed write, 0 when none
// failed) and closes the file on every path. RETSTAT: 1 when the file cannot be opened, otherwise
// the first failed write's code or the close's. ROUTINE is recorded when the status goes bad.
void dax_write_zelfa_file(
    std::string_view routine, std::string_view file_name, DaxPixelType pixel_type,
    bool big_endian, std::int32_t dim_1, std::int32_t dim_2,
    const std::function<std::int32_t(std::int32_t file_id, std::int32_t& status)>& write_pixels,
    std::int32_t& retstat, std::int32_t& status);

// Header builder over one process-wide 1024-byte buffer (one header at a time).
// Starts a header: "{" and a line feed.
void DAX_OPEN_ZELFAHEADER(std::int32_t file_id, std::int32_t& retstat);
// Appends "KEY = VALUE;" and a line feed, taking KEY_LENGTH and VALUE_LENGTH characters.
// A line that would not fit before byte 1022 is refused with RETSTAT 1 and nothing is added;
// so are lengths below 0 or beyond the texts given.
void DAX_ADD_ZELFASTRINGC(std::int32_t file_id, std::int32_t key_length, std::string_view key,
                          std::int32_t value_length, std::string_view value,
                          std::int32_t& retstat);
// Pads with blanks, ends with "}" and a line feed, and writes the 1024 bytes to FILE_ID;
// RETSTAT is the write's result.
void DAX_CLOSE_ZELFAHEADER(std::int32_t file_id, std::int32_t& retstat);
// Appends KEY and VALUE cut to their significant lengths (at most 132 characters each).
// A blank KEY: 180033; a line that does not fit in the header: 181015.
void DAX_ADD_ZELFASTRING(std::int32_t file_id, std::string_view key, std::string_view value,
                         std::int32_t& status);
// The same with an integer value.
void DAX_ADD_ZELFAINTEGER(std::int32_t file_id, std::string_view key, std::int32_t value,
                          std::int32_t& status);
// Writes the region row by row as 4-byte floats to the open output file FILE_ID. RETSTAT is 0,
// or the raw layer's code of the first row that could not be written (writing goes on).
// Checks: 180001 / 180002 for bad dimensions (or DATA smaller than them), 180005 / 180006 for
// a region outside DATA.
void DAX_OUT_2DR4(std::int32_t file_id, std::int32_t xmaxdat, std::int32_t ymaxdat,
                  std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                  std::int32_t yendelm, std::span<const float> data, std::int32_t& retstat,
                  std::int32_t& status);
