// PostScript back-end: polylines, fill areas, markers, text and cell arrays.
#include <algorithm>
#include <cstdio>
#include <string>

#include "dv_ps_internal.h"

namespace {

constexpr int kPairsPerLine = 8;
constexpr int kHexBytesPerLine = 36;

// Writes the N transformed points, several pairs to a line, then "N" and the operator.
void points(std::int32_t n, const float* x, const float* y, const char* op,
            std::int32_t& status) {
  const DvPsState& s = dv_ps();
  std::string line;
  for (int k = 0; k < n; ++k) {
    if (!line.empty()) line += ' ';
    line += std::to_string(dv_ps_x(s, x[k])) + " " + std::to_string(dv_ps_y(s, y[k]));
    if ((k + 1) % kPairsPerLine == 0 && k + 1 < n) {
      dv_ps_line(line, status);
      line.clear();
    }
  }
  if (!line.empty()) line += ' ';
  dv_ps_line(line + std::to_string(n) + op, status);
}

// A PostScript string literal of TEXT (without trailing blanks).
std::string ps_string(std::string_view text) {
  std::string out = "(";
  for (const char ch : text.substr(0, static_cast<std::size_t>(SLEN(text)))) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '(' || ch == ')' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (byte < 32 || byte > 126) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      out += octal;
    } else {
      out += ch;
    }
  }
  return out + ")";
}

void hex_bytes(const std::string& bytes, std::int32_t& status) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string line;
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    line += kDigits[byte >> 4];
    line += kDigits[byte & 15];
    if (line.size() == 2 * kHexBytesPerLine) {
      dv_ps_line(line, status);
      line.clear();
    }
  }
  if (!line.empty()) dv_ps_line(line, status);
}

// The image operators, written once before the first cell array. The image operator is named
// "ci" so that it does not replace "ca", which clears the page.
void write_functions(std::int32_t& status) {
  DvPsState& s = dv_ps();
  if (s.functions) return;
  dv_ps_line("% Cell array functions", status);
  dv_ps_line("/colourtable 768 string def", status);
  dv_ps_line("/ct {currentfile colourtable readhexstring} def", status);
  dv_ps_line("/p2rgb {/k 0 def pixel_string {3 mul colourtable exch 3 getinterval", status);
  dv_ps_line("  rgb_string k 3 -1 roll putinterval /k k 3 add def} forall rgb_string} def",
             status);
  dv_ps_line("/p2grey {/k 0 def pixel_string {3 mul /o exch def rgb_string k", status);
  dv_ps_line("  colourtable o get 30 mul colourtable o 1 add get 59 mul add", status);
  dv_ps_line("  colourtable o 2 add get 11 mul add 100 idiv put /k k 1 add def} forall", status);
  dv_ps_line("  rgb_string 0 pixel_string length getinterval} def", status);
  dv_ps_line("/ci {/yip exch def /xip exch def /ye exch def /xe exch def /ys exch def", status);
  dv_ps_line("  /xs exch def gsave xs ys translate xe xs sub ye ys sub scale", status);
  if (s.colour) {
    dv_ps_line("  xip yip 8 [xip 0 0 yip 0 0] {currentfile pixel_string readhexstring pop p2rgb}",
               status);
    dv_ps_line("  false 3 colorimage grestore} def", status);
  } else {
    dv_ps_line("  xip yip 8 [xip 0 0 yip 0 0] {currentfile pixel_string readhexstring pop "
               "p2grey}",
               status);
    dv_ps_line("  image grestore} def", status);
  }
  if (status == ST_OK) s.functions = true;
}

// One cell array: row buffers, the colour table, then XNUMELM x YNUMELM pixels, bottom row
// first, each pixel the colour index INDEX_AT(data column, data row) (1-based).
template <typename IndexAt>
void cell_array(float x1, float y1, float x2, float y2, std::int32_t xstrelm,
                std::int32_t ystrelm, std::int32_t xnumelm, std::int32_t ynumelm,
                IndexAt index_at, std::int32_t& status) {
  write_functions(status);
  const DvPsState& s = dv_ps();
  dv_ps_line("/pixel_string " + ut_fmt_int(xnumelm, 5) +
                 " string def  % String to hold line of pixels",
             status);
  dv_ps_line("/rgb_string " + ut_fmt_int(3 * static_cast<std::int64_t>(xnumelm), 5) +
                 " string def  % String to hold line of colours",
             status);
  dv_ps_line("ct", status);
  std::string table(768, '\0');
  for (int index = 0; index < 256; ++index) {
    for (int c = 0; c < 3; ++c) {
      float v = DV_DB_COLOURS.table[index][c];
      if (!(v > 0.0f)) v = 0.0f;
      if (v > 1.0f) v = 1.0f;
      table[static_cast<std::size_t>(3 * index + c)] = static_cast<char>(static_cast<int>(v * 255.0f));
    }
  }
  hex_bytes(table, status);
  dv_ps_line("pop pop  % Remove status return from stack", status);
  dv_ps_line(std::to_string(dv_ps_x(s, x1)) + " " + std::to_string(dv_ps_y(s, y1)) + " " +
                 std::to_string(dv_ps_x(s, x2)) + " " + std::to_string(dv_ps_y(s, y2)) + " " +
                 std::to_string(xnumelm) + " " + std::to_string(ynumelm) + " ci",
             status);
  std::string row(static_cast<std::size_t>(xnumelm), '\0');
  for (std::int32_t j = 0; j < ynumelm && status == ST_OK; ++j) {
    for (std::int32_t i = 0; i < xnumelm; ++i) {
      row[static_cast<std::size_t>(i)] = static_cast<char>(index_at(xstrelm + i, ystrelm + j));
    }
    hex_bytes(row, status);
  }
}

}  // namespace

void DV_PS_PL(std::int32_t n, const float* x, const float* y, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_PL V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (n < 2 || x == nullptr || y == nullptr) return;
  const DvPsState& s = dv_ps();
  if (n == 2) {
    const int xa = dv_ps_x(s, x[0]);
    const int ya = dv_ps_y(s, y[0]);
    const int xb = dv_ps_x(s, x[1]);
    const int yb = dv_ps_y(s, y[1]);
    if (ya == yb) {
      dv_ps_line(std::to_string(xa) + " " + std::to_string(ya) + " " + std::to_string(xb - xa) +
                     " hl",
                 status);
      if (st_bad(status, kRoutine)) return;
      return;
    }
    if (xa == xb) {
      dv_ps_line(std::to_string(xa) + " " + std::to_string(ya) + " " + std::to_string(yb - ya) +
                     " vl",
                 status);
      if (st_bad(status, kRoutine)) return;
      return;
    }
  }
  points(n, x, y, " pl", status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_FA(std::int32_t n, const float* x, const float* y, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_FA V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (n < 2 || x == nullptr || y == nullptr) return;
  points(n, x, y, " fa", status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_PM(std::int32_t n, const float* x, const float* y, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_PM V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (n < 1 || x == nullptr || y == nullptr) return;
  points(n, x, y, " pm", status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_TEXT(float x, float y, std::string_view text, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_TEXT V0.3 ";
  if (st_bad(status, kRoutine)) return;
  if (SLEN(text) == 0) return;
  const DvPsState& s = dv_ps();
  dv_ps_line(ps_string(text) + " " + std::to_string(dv_ps_x(s, x)) + " " +
                 std::to_string(dv_ps_y(s, y)) + " tx",
             status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_CA(float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
              std::int32_t /*ymaxdat*/, std::int32_t xstrelm, std::int32_t ystrelm,
              std::int32_t xnumelm, std::int32_t ynumelm, const std::int32_t* indices,
              std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_CA V0.9 ";
  if (st_bad(status, kRoutine)) return;
  if (indices == nullptr || xnumelm < 1 || ynumelm < 1) return;
  const auto index_at = [&](std::int32_t column, std::int32_t row) {
    const std::int64_t offset =
        (static_cast<std::int64_t>(row) - 1) * xmaxdat + (static_cast<std::int64_t>(column) - 1);
    return indices[offset] & 0xFF;
  };
  cell_array(x1, y1, x2, y2, xstrelm, ystrelm, xnumelm, ynumelm, index_at, status);
  if (st_bad(status, kRoutine)) return;
}

void DV_PS_RMCA(bool masked, float x1, float y1, float x2, float y2, std::int32_t xmaxdat,
                std::int32_t /*ymaxdat*/, std::int32_t xstrelm, std::int32_t ystrelm,
                std::int32_t xnumelm, std::int32_t ynumelm, const float* data,
                const std::uint8_t* mask, float min, float max, std::int32_t mask_colour,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DV_PS_RMCA V0.3 ";
  if (st_bad(status, kRoutine)) return;
  if (data == nullptr || (masked && mask == nullptr) || xnumelm < 1 || ynumelm < 1) return;
  const int first = DV_DB_COLOURS.first_image;
  const int last = std::min(DV_DB_COLOURS.last_image, 255);
  const auto index_at = [&](std::int32_t column, std::int32_t row) {
    const std::int64_t offset =
        (static_cast<std::int64_t>(row) - 1) * xmaxdat + (static_cast<std::int64_t>(column) - 1);
    if (masked && mask[offset] != 0) return mask_colour & 0xFF;
    return dv_cell_index(data[offset], min, max, first, last) & 0xFF;
  };
  cell_array(x1, y1, x2, y2, xstrelm, ystrelm, xnumelm, ynumelm, index_at, status);
  if (st_bad(status, kRoutine)) return;
}
