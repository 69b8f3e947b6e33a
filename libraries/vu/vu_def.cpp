// The default writers (VU_DEF_ family) for records that are not set through a setter.
#include "vu_internal.h"

void VU_DEF_WINDOWFORMAT() { VU_WINDOWFORMAT.format = 0; }
void VU_DEF_PSFILE() { VU_PSFILE = VuPsFile{}; }

void VU_DEF_ATEXT(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_ATEXT V0.1 ")) return;
  VU_ATEXT.count = 0;
}
void VU_DEF_KEYLABELS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_KEYLABELS V0.1 ")) return;
  VU_KEYLABELS.count = 0;
}
void VU_DEF_ALABELS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_ALABELS V0.1 ")) return;
  VU_ALABELS.count = 0;
}
void VU_DEF_ALABELSTYLES(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_ALABELSTYLES V0.1 ")) return;
  VU_ALABELSTYLES = VuTextStyle{true, 1, 1, 1.0f, 1.0f, 0.0f};
}
void VU_DEF_ARROWS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_ARROWS V0.1 ")) return;
  VU_ARROWS.count = 0;
}
void VU_DEF_ARROWSTYLES(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_ARROWSTYLES V0.1 ")) return;
  VU_ARROWSTYLES = VuGridStyle{1, 1.0f, 1};
}

void VU_DEF_GPP(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_GPP V0.1 ")) return;
  VU_GPP.reserved = vu_region(0.1f, 0.3929f, 0.6071f, 0.9f);
  VU_GPP.drawn = VU_GPP.reserved;
}

// Curves take the colour codes black, red, green, blue, magenta, cyan, orange, brown, violet and
// grey in turn, solid lines, no markers.
void VU_DEF_CURVESTYLES(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_CURVESTYLES V0.1 ")) return;
  constexpr std::int32_t kColours[VU_MAX_CURVES] = {1, 3, 4, 5, 7, 8, 9, 11, 12, 10};
  for (int i = 0; i < VU_MAX_CURVES; ++i) {
    VU_CURVESTYLES.line_style[i] = 1;
    VU_CURVESTYLES.line_width[i] = 1.0f;
    VU_CURVESTYLES.colour[i] = kColours[i];
  }
}
void VU_DEF_CURVEMARKERS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_CURVEMARKERS V0.1 ")) return;
  for (int i = 0; i < VU_MAX_CURVES; ++i) {
    VU_CURVEMARKERS.on[i] = false;
    VU_CURVEMARKERS.type[i] = 2 + i % 4;
    VU_CURVEMARKERS.scale[i] = 1.0f;
    VU_CURVEMARKERS.colour[i] = VU_CURVESTYLES.colour[i] != 0 ? VU_CURVESTYLES.colour[i] : 1;
  }
}
void VU_DEF_CURVESOFTMARKERS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_CURVESOFTMARKERS V0.1 ")) return;
  VU_CURVESOFTMARKERS = VuCurveFlags{};
}
void VU_DEF_CURVELINES(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_CURVELINES V0.1 ")) return;
  for (bool& on : VU_CURVELINES.on) on = true;
}
void VU_DEF_CURVEERRORS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_CURVEERRORS V0.1 ")) return;
  for (bool& on : VU_CURVEERRORS.on) on = true;
}

void VU_DEF_3DVIEW(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_3DVIEW V0.1 ")) return;
  VU_3DVIEW = Vu3dView{30.0f, 30.0f, 10.0f};
}

void VU_DEF_IMAGESCALE(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_IMAGESCALE V0.1 ")) return;
  VU_COM_LUT.scale_mode = 0;
  VU_COM_LUT.scale_min = 0.0f;
  VU_COM_LUT.scale_max = 1.0f;
}

void VU_DEF_PIXELLIMITS(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_PIXELLIMITS V0.1 ")) return;
  VU_COM_PIXELLIMITS = VuPixelLimits{600, 200};
}

void VU_DEF_MASKCOLOUR(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_MASKCOLOUR V0.1 ")) return;
  VU_MASKCOLOUR = 3;  // red
}

void VU_DEF_POSTSCRIPT(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_POSTSCRIPT V0.1 ")) return;
  VU_POSTSCRIPT.value = true;
}

void VU_DEF_GUIREGION(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_GUIREGION V0.1 ")) return;
  VU_GUIREGION = vu_region(0.0f, 0.0f, 0.7071f, 0.15f);
}

void VU_DEF_MESSAGE(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_MESSAGE V0.1 ")) return;
  VU_MESSAGE = vu_region(0.0f, 0.0f, 0.7071f, 1.0f);
}

void VU_DEF_MESSAGESTYLE(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_MESSAGESTYLE V0.1 ")) return;
  VU_MESSAGESTYLE = VuMessageStyle{1, 1, 1.0f, 2};
}

void VU_DEF_MENUSTYLE(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_MENUSTYLE V0.1 ")) return;
  VU_MENUSTYLE = VuMessageStyle{1, 1, 1.0f, 10};
}

void VU_DEF_MENULAYOUT(std::int32_t& status) {
  if (st_bad(status, "Subroutine VU_DEF_MENULAYOUT V0.1 ")) return;
  VU_MENULAYOUT = VuMenuLayout{4, 0.03f};
}
