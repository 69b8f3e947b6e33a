// Window back-end: fonts, text and text width.
//
// Text uses the fontconfig "serif" face (fixed pitch "monospace" for the extra font of font
// code 2) at pixel heights 10, 12, 14, 16, 20 and 24, horizontal or rotated by 90 degrees, drawn
// without antialiasing in the text colour on a transparent background.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "dv_x11_internal.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

cairo_scaled_font_t* make_font(cairo_font_face_t* face, double pixels, double angle) {
  cairo_matrix_t font_matrix;
  cairo_matrix_init_scale(&font_matrix, pixels, pixels);
  // Cairo's rows grow downwards, so a counter-clockwise turn on the screen is a negative angle.
  if (angle != 0.0) cairo_matrix_rotate(&font_matrix, -angle);
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_scaled_font_t* font = cairo_scaled_font_create(face, &font_matrix, &identity, options);
  cairo_font_options_destroy(options);
  if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
    cairo_scaled_font_destroy(font);
    return nullptr;
  }
  return font;
}

void release(cairo_scaled_font_t*& font) {
  if (font != nullptr) cairo_scaled_font_destroy(font);
  font = nullptr;
}

// Font texts are Latin-1 bytes; cairo wants UTF-8 (an invalid string would put the drawing
// context into a permanent error state).
std::string to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte == 0) break;
    if (byte < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

double advance(cairo_scaled_font_t* font, const std::string& utf8) {
  cairo_text_extents_t extents;
  cairo_scaled_font_text_extents(font, utf8.c_str(), &extents);
  return extents.x_advance;
}

}  // namespace

void dv_x11_make_fonts(DvX11State& s) {
  if (s.face == nullptr) {
    s.face = cairo_toy_font_face_create("serif", CAIRO_FONT_SLANT_NORMAL,
                                        CAIRO_FONT_WEIGHT_NORMAL);
  }
  if (s.fixed_face == nullptr) {
    s.fixed_face = cairo_toy_font_face_create("monospace", CAIRO_FONT_SLANT_NORMAL,
                                              CAIRO_FONT_WEIGHT_NORMAL);
  }
  for (int k = 0; k < 6; ++k) {
    for (int o = 0; o < 2; ++o) {
      if (s.fonts[k][o] != nullptr) continue;
      s.fonts[k][o] = make_font(s.face, kDvX11FontHeights[k], o == 0 ? 0.0 : kPi / 2.0);
      if (s.fonts[k][o] == nullptr) {
        dv_message("WARNING: Failed to create " + std::to_string(kDvX11FontHeights[k]) +
                   " point " + (o == 0 ? "horizontal" : "vertical") + " font");
      }
    }
  }
  s.font_dirty = true;
}

void dv_x11_free_fonts(DvX11State& s) {
  for (auto& pair : s.fonts) {
    for (auto& font : pair) release(font);
  }
  release(s.extra);
  release(s.extra_metrics);
  s.extra_pixels = -1;
  if (s.face != nullptr) cairo_font_face_destroy(s.face);
  if (s.fixed_face != nullptr) cairo_font_face_destroy(s.fixed_face);
  s.face = nullptr;
  s.fixed_face = nullptr;
  s.current = nullptr;
  s.current_metrics = nullptr;
  s.font_dirty = true;
}

void dv_x11_choose_font(DvX11State& s) {
  if (!s.font_dirty) return;
  if (s.face == nullptr) dv_x11_make_fonts(s);
  s.font_dirty = false;
  const double height = static_cast<double>(s.size) * s.text_height;
  const int pixels = std::clamp(dv_trunc(height), 1, 2000);
  const double tenths_real = s.text_angle * 10.0 * 180.0 / 3.1415926 + 0.4999;
  const int tenths = dv_trunc(tenths_real);
  if (tenths == 0 || (tenths >= 890 && tenths <= 910)) {
    int k = 4;  // 20 pixels
    if (pixels <= 11) {
      k = 0;
    } else if (pixels <= 13) {
      k = 1;
    } else if (pixels <= 15) {
      k = 2;
    } else if (pixels <= 19) {
      k = 3;
    } else if (pixels >= 24) {
      k = 5;
    }
    const int o = tenths == 0 ? 0 : 1;
    s.current = s.fonts[k][o];
    s.current_metrics = s.fonts[k][0];
    s.current_angle = o == 0 ? 0.0 : kPi / 2.0;
    return;
  }
  // Any other angle: one extra font of height PIXELS at that angle.
  const int code = s.text_font == 2 ? 2 : 1;
  if (s.extra == nullptr || s.extra_pixels != pixels || s.extra_tenths != tenths ||
      s.extra_code != code) {
    release(s.extra);
    release(s.extra_metrics);
    cairo_font_face_t* face = code == 2 ? s.fixed_face : s.face;
    const double angle = tenths / 10.0 * kPi / 180.0;
    s.extra = make_font(face, pixels, angle);
    s.extra_metrics = make_font(face, pixels, 0.0);
    s.extra_pixels = pixels;
    s.extra_tenths = tenths;
    s.extra_code = code;
    if (s.extra == nullptr || s.extra_metrics == nullptr) {
      dv_message("WARNING: Failed to create required font");
      release(s.extra);
      release(s.extra_metrics);
    }
  }
  s.current = s.extra;
  s.current_metrics = s.extra_metrics;
  s.current_angle = tenths / 10.0 * kPi / 180.0;
}

void DV_X11_TEXT(float x, float y, std::string_view text, std::int32_t& result) {
  DvX11State& s = dv_x11();
  result = 0;
  const int length = SLEN(text);
  if (length == 0) return;
  if (!s.open) {
    result = 1;
    return;
  }
  dv_x11_choose_font(s);
  if (s.current == nullptr || s.current_metrics == nullptr) return;  // warned when made
  const std::string utf8 = to_utf8(text.substr(0, static_cast<std::size_t>(length)));

  // Offsets in the text's own frame: along the base line, and across it (positive below).
  cairo_font_extents_t font;
  cairo_scaled_font_extents(s.current_metrics, &font);
  double along = 0.0;
  if (s.h_align == 2) along = -advance(s.current_metrics, utf8) / 2.0;
  if (s.h_align == 3) along = -advance(s.current_metrics, utf8);
  double across = 0.0;
  switch (s.v_align) {
    case 1:
    case 2:
      across = font.ascent;  // top of the character cell on the point
      break;
    case 3:
      across = (font.ascent - font.descent) / 2.0;  // cell centred on the point
      break;
    case 5:
      across = -font.descent;  // bottom of the cell on the point
      break;
    case 6: {
      cairo_text_extents_t capital;
      cairo_scaled_font_text_extents(s.current_metrics, "X", &capital);
      across = -capital.y_bearing / 2.0;  // capital letters centred on the point
      break;
    }
    default:
      break;  // base line on the point
  }
  const double c = std::cos(s.current_angle);
  const double sn = std::sin(s.current_angle);
  const double origin_x = dv_x11_column(s, x) + along * c + across * sn;
  const double origin_y = dv_x11_row(s, y) - along * sn + across * c;

  cairo_t* cr = s.cr;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  const std::uint32_t rgb = s.screen[std::clamp(s.text_colour, 0, 255)];
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
  cairo_set_scaled_font(cr, s.current);
  cairo_move_to(cr, std::round(origin_x), std::round(origin_y));
  cairo_show_text(cr, utf8.c_str());
  cairo_restore(cr);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    dv_message(std::string("ERROR: TextOut failed: ") + cairo_status_to_string(cairo_status(cr)));
    result = -1;
  }
}

void DV_X11_TEXTWIDTH(std::int32_t n, float& width, std::string_view text) {
  DvX11State& s = dv_x11();
  dv_x11_choose_font(s);
  width = 0.0f;
  if (n < 1 || s.current_metrics == nullptr) return;
  const std::string utf8 = to_utf8(text.substr(0, std::min<std::size_t>(text.size(),
                                                                       static_cast<std::size_t>(n))));
  width = static_cast<float>(advance(s.current_metrics, utf8) / s.size);
}
