// All defaults of the library, the plot attributes, and the landscape variant.
#include "vu_internal.h"

void VU_DEF_GRAPHICS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_DEF_GRAPHICS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  VU_DEF_ATTRIBUTES(status);
  VU_DEF_WINDOWFORMAT();
  VU_DEF_GUIREGION(status);
  VU_DEF_MESSAGE(status);
  VU_DEF_MESSAGESTYLE(status);
  VU_DEF_MENUSTYLE(status);
  VU_DEF_MENULAYOUT(status);
  VU_DEF_PSFILE();
  VU_DEF_POSTSCRIPT(status);
  VU_DEF_IMAGESCALE(status);
  VU_DEF_PIXELLIMITS(status);
  VU_DEF_MASKCOLOUR(status);
  VU_DEF_3DVIEW(status);
  VU_SET_PROGRESS(0.0f, 0.0f, 0.7071f, 0.29f, 0, status);
  if (st_bad(status, kRoutine)) return;
  VU_DOC_CONTROL.form_documentation = false;
  VU_DOC_CONTROL.menu_documentation = false;
}

void VU_DEF_ATTRIBUTES(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_DEF_ATTRIBUTES V0.1 ";
  if (st_bad(status, kRoutine)) return;
  VU_SET_BACKGROUND(true, 2, status);
  VU_SET_GRAPHLAYOUT(0.015f, 0.015f, 0.05f, 0.05f, 0.05f, status);
  VU_SET_AUTODDR(true, true, true, true, status);
  VU_SET_ERRORBARS(true, true, status);
  VU_SET_DATALOGLIN(true, true, status);
  VU_SET_TITLESTYLE(true, 1, 1, 1.0f, 1.0f, 0.0f, status);
  VU_SET_XLABELSTYLE(true, 1, 1, 1.0f, 1.0f, 0.0f, status);
  VU_SET_YLABELSTYLE(true, 1, 1, 1.0f, 1.0f, 0.0f, status);
  VU_SET_YLABELORIENTATION(1, status);
  VU_SET_ATEXTSTYLE(true, 0.1f, 0.2929f, 1, 1, 1.0f, 1.0f, 0.0f, 1.8f, status);
  VU_DEF_ATEXT(status);
  VU_DEF_KEYLABELS(status);
  VU_SET_KEY(0, 0.1f, 0.05f, 0.6071f, 0.2929f, true, status);
  VU_SET_LUT(true, 0, status);
  VU_SET_KEYSTYLE(1, 1, 1.0f, 1.0f, 0.0f, 1, 1.0f, 1, status);
  VU_DEF_ALABELS(status);
  VU_DEF_ALABELSTYLES(status);
  VU_DEF_ARROWS(status);
  VU_DEF_ARROWSTYLES(status);
  VU_SET_AXESLOGLIN(true, true, status);
  VU_SET_AXESSTYLE(0, 0, status);
  VU_SET_FRAMESTYLE(0, true, 0, true, status);
  VU_SET_HAXESSTYLE(1, 1.0f, 1, 0.01f, 0.005f, 9, status);
  VU_SET_VAXESSTYLE(1, 1.0f, 1, 0.01f, 0.005f, 9, status);
  VU_SET_XLTICKS(true, 0.0f, 1.0f, 10, status);
  VU_SET_YLTICKS(true, 0.0f, 1.0f, 10, status);
  VU_SET_XAXISENUM(true, 1, 1, 1.0f, 1.0f, 0.0f, 5, 2, true, true, status);
  VU_SET_YAXISENUM(true, 1, 1, 1.0f, 1.0f, 0.0f, 5, 2, true, true, status);
  VU_SET_DDR(0.0f, 0.0f, 1.0f, 1.0f, status);
  VU_SET_DDDR(0.0f, 0.0f, 1.0f, 1.0f, status);
  VU_SET_IDR(0.0f, 0.0f, 1.0f, 1.0f, status);
  VU_SET_IASPECT(true, status);
  VU_SET_DLUTPC(false, 1.0f, 1.0f, -1.0f, -1.0f, status);
  VU_DEF_GPP(status);
  VU_SET_GRID(false, false, false, false, status);
  VU_SET_HCOARSEGRID(4, 1.0f, 1, status);
  VU_SET_VCOARSEGRID(4, 1.0f, 1, status);
  VU_SET_HFINEGRID(3, 1.0f, 1, status);
  VU_SET_VFINEGRID(3, 1.0f, 1, status);
  VU_DEF_CURVESTYLES(status);
  VU_DEF_CURVEMARKERS(status);
  VU_DEF_CURVESOFTMARKERS(status);
  VU_DEF_CURVELINES(status);
  VU_DEF_CURVEERRORS(status);
  VU_SET_3DSTYLE(0, 5, 1.0f, true, true, 1, status);
  VU_SET_3DSIMAGE(0, 0, status);
  VU_SET_3DAXES(0, 0, 0, status);
  if (st_bad(status, kRoutine)) return;
  VU_COM_MASKPIXELS.value = true;
}

void VU_MSET_LANDSCAPE(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_MSET_LANDSCAPE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  VU_SET_WINDOWFORMAT(1);
  VU_SET_GPP(0.1f, 0.1f, 0.9f, 0.6071f, status);
  VU_SET_DGPP(0.1f, 0.1f, 0.9f, 0.6071f, status);
  VU_SET_KEY(VU_KEY.mode, 0.7071f, 0.1f, 0.9f, 0.6071f, VU_KEY.frame, status);
  VU_SET_MESSAGE(0.0f, 0.0f, 1.0f, 0.7071f, status);
  VU_SET_GUIREGION(0.0f, 0.0f, 1.0f, 0.1f, status);
  if (st_bad(status, kRoutine)) return;
}
