// Graphics presentation library: opening and closing the graphics, plot defaults and the
// library's own command-line options, colour tables, and image and curve plots with frame,
// numbered axes, title, labels and a colour scale. Drawing goes through the device layer (dv.h).
//
// Conventions: the status is the last argument; a status set here is 140000 plus the error kind
// (except VU_SET_LUTCHOICE's bare 17). Positions are in page units (the longer page side 1.0,
// the shorter 0.7071) unless said to be world units. Colour arguments of the styles are colour
// codes 1..15 (VU_DB_COLOURS maps them to device indices). Logical values are bool. Arrays are
// DATA(XMAXDAT, YMAXDAT), first index fastest, with 1-based inclusive regions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------------------------
// Global records, one instance each. They are zero at start; VU_OPEN_GRAPHICS writes the defaults.

struct VuRegion {
  float x_min = 0.0f, y_min = 0.0f, x_max = 0.0f, y_max = 0.0f;
};

struct VuWindowFormat {
  std::int32_t format = 0;  // 0 portrait, 1 landscape (2 acts as 0, 3 as 1)
};
struct VuDbJColours {
  std::int32_t low = 0, high = 0;  // requested colour counts for DV_SET_COLOURINDICES
};
struct VuDocControl {
  bool form_documentation = false;
  bool menu_documentation = false;
  float text_width = 0.0f;  // page width of "iiii..MMWW" in the window's font, taken at open
};
struct VuComLut {
  bool display = false;          // draw the LUT scale under image plots
  std::int32_t orientation = 0;  // of the LUT scale
  std::int32_t choice = 0;       // colour table 0..11
  std::int32_t levels = 0;       // quantisation of the table
  std::int32_t scale_mode = 0;   // 0 region min/max, 1 user, 2 user min, 3 user max, 4 auto
  float scale_min = 0.0f, scale_max = 0.0f;
};
constexpr int VU_NUM_COLOUR_CODES = 15;
struct VuDbColours {
  float rgb[VU_NUM_COLOUR_CODES][3] = {};          // colour of each code
  std::int32_t index[VU_NUM_COLOUR_CODES] = {};    // device colour index of each code
};
struct VuFlag {
  bool value = false;
};
struct VuPsFile {
  bool open = false;
  std::string file_name;  // of the PostScript file on unit 17, when known
};
struct VuGpp {
  VuRegion reserved;  // graph plot position: page rectangle reserved for a graph
  VuRegion drawn;     // the rectangle the last plot actually used
};
struct VuPixelLimits {
  std::int32_t first = 0, second = 0;
};
struct VuProgress {
  VuRegion region;
  std::int32_t mode = 0;
};

struct VuBackground {
  bool fill = false;
  std::int32_t colour = 0;
};
struct VuGraphLayout {
  float x_enum_gap = 0.0f;  // axis numbers beyond a horizontal axis line
  float y_enum_gap = 0.0f;  // axis numbers beyond a vertical axis line
  float title_gap = 0.0f;   // title base line above the frame
  float xlabel_gap = 0.0f;  // x label base line below the frame
  float ylabel_gap = 0.0f;  // y label left of the frame
};
struct VuAutoDdr {
  bool x_min = false, y_min = false, x_max = false, y_max = false;
};
struct VuXyFlags {
  bool x = false, y = false;
};
struct VuTextStyle {
  bool display = false;
  std::int32_t font = 0;
  std::int32_t colour = 0;
  float size = 0.0f;    // multiple of the standard height
  float aspect = 0.0f;  // width factor
  float angle = 0.0f;
};
struct VuATextStyle {
  bool display = false;
  float x = 0.0f, y = 0.0f;
  std::int32_t font = 0, colour = 0;
  float size = 0.0f, aspect = 0.0f, angle = 0.0f, spacing = 0.0f;
};
struct VuCount {
  std::int32_t count = 0;  // entries of a user list (annotations, key labels)
};
struct VuKey {
  std::int32_t mode = 0;
  VuRegion region;
  bool frame = false;
};
struct VuKeyStyle {
  std::int32_t font = 0, colour = 0;
  float size = 0.0f, aspect = 0.0f, angle = 0.0f;
  std::int32_t line_style = 0;
  float line_width = 0.0f;
  std::int32_t line_colour = 0;
};
struct VuAxesStyle {
  std::int32_t x = 0, y = 0;  // 0 numbered top/right axes, 2 ticks only, other: none
};
struct VuFrameStyle {
  std::int32_t x_style = 0;
  bool x_frame = false;
  std::int32_t y_style = 0;
  bool y_frame = false;
};
struct VuAxisLineStyle {
  std::int32_t line_style = 0;
  float line_width = 0.0f;
  std::int32_t colour = 0;
  float major_length = 0.0f, minor_length = 0.0f;  // page units
  std::int32_t minor_ticks = 0;                    // between neighbouring major ticks
};
struct VuTicks {
  bool automatic = false;
  float first = 0.0f, step = 0.0f;
  std::int32_t number = 0;
};
struct VuAxisEnum {
  bool display = false;
  std::int32_t font = 0, colour = 0;
  float size = 0.0f, aspect = 0.0f, angle = 0.0f;
  std::int32_t max_chars = 0, decimals = 0;
  bool automatic_decimals = false, automatic_factor = false;
};
struct VuDlutpc {
  bool drawn = false;
  VuRegion region;
};
struct VuGrid {
  bool h_coarse = false, v_coarse = false, h_fine = false, v_fine = false;
};
struct VuGridStyle {
  std::int32_t line_style = 0;
  float line_width = 0.0f;
  std::int32_t colour = 0;
};
constexpr int VU_MAX_CURVES = 10;
struct VuCurveStyles {
  std::int32_t line_style[VU_MAX_CURVES] = {};
  float line_width[VU_MAX_CURVES] = {};
  std::int32_t colour[VU_MAX_CURVES] = {};
};
struct VuCurveMarkers {
  bool on[VU_MAX_CURVES] = {};
  std::int32_t type[VU_MAX_CURVES] = {};
  float scale[VU_MAX_CURVES] = {};
  std::int32_t colour[VU_MAX_CURVES] = {};
};
struct VuCurveFlags {
  bool on[VU_MAX_CURVES] = {};
};
struct Vu3dStyle {
  std::int32_t mode = 0, lines = 0;
  float scale = 0.0f;
  bool hidden = false, frame = false;
  std::int32_t colour = 0;
};
struct Vu3dSImage {
  std::int32_t mode = 0, colour = 0;
};
struct Vu3dAxes {
  std::int32_t x = 0, y = 0, z = 0;
};
struct Vu3dView {
  float azimuth = 0.0f, elevation = 0.0f, distance = 0.0f;
};
struct VuMessageStyle {
  std::int32_t font = 0, colour = 0;
  float size = 0.0f;
  std::int32_t background = 0;
};
struct VuMenuLayout {
  std::int32_t columns = 0;
  float item_height = 0.0f;
};

extern VuWindowFormat VU_WINDOWFORMAT;
extern VuDbJColours VU_DB_JCOLOURS;
extern VuDocControl VU_DOC_CONTROL;
extern VuComLut VU_COM_LUT;
extern VuDbColours VU_DB_COLOURS;
extern VuPsFile VU_PSFILE;
extern VuFlag VU_POSTSCRIPT;
extern VuGpp VU_GPP;
extern VuPixelLimits VU_COM_PIXELLIMITS;
extern VuFlag VU_COM_MASKPIXELS;
extern VuProgress VU_DB_PROGRESS;
extern VuFlag VU_PNGOUTPUT;  // "+PNG" seen on the command line

extern VuBackground VU_BACKGROUND_STYLE;
extern VuGraphLayout VU_GRAPHLAYOUT;
extern VuAutoDdr VU_AUTODDR;
extern VuXyFlags VU_ERRORBARS;
extern VuXyFlags VU_DATALOGLIN;  // true = linear
extern VuTextStyle VU_TITLESTYLE, VU_XLABELSTYLE, VU_YLABELSTYLE;
extern std::int32_t VU_YLABELORIENTATION;  // 0 and 2 horizontal, 1 reading upward
extern VuATextStyle VU_ATEXTSTYLE;
extern VuCount VU_ATEXT, VU_KEYLABELS, VU_ALABELS, VU_ARROWS;
extern VuKey VU_KEY;
extern VuKeyStyle VU_KEYSTYLE;
extern VuTextStyle VU_ALABELSTYLES;
extern VuGridStyle VU_ARROWSTYLES;
extern VuXyFlags VU_AXESLOGLIN;  // true = linear
extern VuAxesStyle VU_AXESSTYLE;
extern VuFrameStyle VU_FRAMESTYLE;
extern VuAxisLineStyle VU_HAXESSTYLE, VU_VAXESSTYLE;
extern VuTicks VU_XLTICKS, VU_YLTICKS;
extern VuAxisEnum VU_XAXISENUM, VU_YAXISENUM;
extern VuRegion VU_DDR;   // data display region (world)
extern VuRegion VU_DDDR;  // drawn data display region (world)
extern VuRegion VU_IDR;   // image data region (world)
extern VuFlag VU_IASPECT;  // keep image pixels square
extern VuDlutpc VU_DLUTPC;
extern VuGrid VU_GRID_FLAGS;
extern VuGridStyle VU_HCOARSEGRID, VU_VCOARSEGRID, VU_HFINEGRID, VU_VFINEGRID;
extern VuCurveStyles VU_CURVESTYLES;
extern VuCurveMarkers VU_CURVEMARKERS;
extern VuCurveFlags VU_CURVESOFTMARKERS, VU_CURVELINES, VU_CURVEERRORS;
extern Vu3dStyle VU_3DSTYLE;
extern Vu3dSImage VU_3DSIMAGE;
extern Vu3dAxes VU_3DAXES;
extern Vu3dView VU_3DVIEW;
extern VuRegion VU_GUIREGION;
extern VuRegion VU_MESSAGE;
extern VuMessageStyle VU_MESSAGESTYLE, VU_MENUSTYLE;
extern VuMenuLayout VU_MENULAYOUT;
extern std::int32_t VU_MASKCOLOUR;  // colour code of masked pixels

// The table computed by VU_COLOURS, kept between calls: red, green, blue of device index k.
extern float VU_COM_COLOURTABLE[256][3];

// ---------------------------------------------------------------------------------------------
// Opening, closing, defaults and options.

// Opens everything: defaults, command-line options, device layer, window workstation 1
// (active), default LUT choice, colour codes, reference text width.
void VU_OPEN_GRAPHICS(std::int32_t& status);
// Closes window workstation 1, any PostScript file and the device layer.
void VU_CLOSE_GRAPHICS(std::int32_t& status);
// Brings the window's drawing to the screen (in PNG mode: writes the next page file).
void VU_UPDATE(std::int32_t& status);
// Requested colour counts, all defaults, command-line options, then DV_OPEN.
void VU_OPEN_NOTERM(std::int32_t& status);
// Writes every default of the library.
void VU_DEF_GRAPHICS(std::int32_t& status);
// Reads the library's own options from the command line (UT_GETARGS): landscape forms,
// -COLOURSn / -COLn, -DFORM, -DMENU, +PNG (signs + or -, any case).
void VU_MSET_OPTIONS(std::int32_t& status);
// Sets the plot attributes to their defaults.
void VU_DEF_ATTRIBUTES(std::int32_t& status);
// Landscape page: window format 1 and the positions that go with it.
void VU_MSET_LANDSCAPE(std::int32_t& status);
// Ends and closes the PostScript file when one is open.
void VU_CLOSE_PS(std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Colour tables and colour codes.

// Chooses colour table LUT (0..11; other values: bare status 17) quantised to LEVELS levels;
// takes effect at VU_COLOURS.
void VU_SET_LUTCHOICE(std::int32_t lut, std::int32_t levels, std::int32_t& status);
void VU_INQ_LUTCHOICE(std::int32_t& lut, std::int32_t& levels, std::int32_t& status);
// Choice 2 with as many levels as the device's image index range has entries.
void VU_DEF_LUTCHOICE(std::int32_t& status);
// Computes the chosen table into VU_COM_COLOURTABLE (choice 0: unchanged) and loads it.
void VU_COLOURS(std::int32_t& status);
// Fills TABLE(FIRST..LAST) (3 floats per index, index 0 first, MAX_COLOURS indices) from the
// control colours CONTROL (3 floats per entry, NUM_ENTRIES used of MAX_ENTRIES) by linear
// interpolation quantised to LEVELS levels; one level gives the last control colour everywhere.
// Status (+140000): 1 MAX_ENTRIES < 1, 5 bad NUM_ENTRIES, 13 LAST < FIRST, 17 LEVELS < 1 or
// FIRST..LAST outside the table.
void VU_CAL_COLOURTABLE(std::int32_t max_entries, std::int32_t num_entries, const float* control,
                        std::int32_t first, std::int32_t last, std::int32_t levels,
                        std::int32_t max_colours, float* table, std::int32_t& status);
// The control colours of LUT 1..11 (3 floats per entry) and their number; null for others.
const float* vu_control_table(std::int32_t lut, std::int32_t& entries);
// Writes the colours of the fifteen colour codes, then maps them (VU_CAL_COLOURS).
void VU_DEF_COLOURS(std::int32_t& status);
// Maps each colour code to the nearest device colour; codes 13, 14, 15 to 0, 1 and -1.
void VU_CAL_COLOURS(std::int32_t& status);
// Device colour index of colour code CODE (1..15; others give code 1's index).
std::int32_t vu_colour_index(std::int32_t code);

// ---------------------------------------------------------------------------------------------
// Plotting.

// The program's one plotting call: an image with frame, axes, title, labels and LUT scale;
// a curve when the region is one column or one row. X_AXIS/Y_AXIS hold the world coordinate of
// each column's/row's centre. Status (+140000): 1 XMAXDAT < 1, 2 YMAXDAT < 1, 5 bad x region,
// 6 bad y region.
void VU_PLOT(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data, const float* x_axis,
             const float* y_axis, std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
             std::int32_t yendelm, std::string_view title, std::string_view xlabel,
             std::string_view ylabel, std::string_view zlabel, std::int32_t& status);
// Copies DATA(XSTRELM, YSTRELM..YENDELM) into COLUMN(YSTRELM..YENDELM) (COLUMN has YMAXDAT
// elements, element 1 first).
void VU_PLOTSUB(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t yendelm, float* column,
                std::int32_t& status);
// Unmasked image plot (at least two columns and two rows).
void VU_2DIMAGE(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data, const float* x_axis,
                const float* y_axis, std::int32_t xstrelm, std::int32_t ystrelm,
                std::int32_t xendelm, std::int32_t yendelm, std::string_view title,
                std::string_view xlabel, std::string_view ylabel, std::string_view zlabel,
                std::int32_t& status);
// The image plot; MASK (one byte per pixel, may be null when not MASKED) marks pixels drawn
// in the mask colour.
void VU_2DMIMAGE(bool masked, std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                 const std::uint8_t* mask, const float* x_axis, const float* y_axis,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, std::string_view title, std::string_view xlabel,
                 std::string_view ylabel, std::string_view zlabel, std::int32_t& status);
// Settles the intensity range by MODE (0 region min/max, 1 MIN..MAX as given, 2 region max,
// 3 region min, 4 as 0) and draws the region into the image data region.
void VU_2DMCELLARRAY(bool masked, std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                     const std::uint8_t* mask, std::int32_t xstrelm, std::int32_t ystrelm,
                     std::int32_t xendelm, std::int32_t yendelm, std::int32_t mode, float& min,
                     float& max, std::int32_t& status);
// One curve Y(STRELM..ENDELM) against X(STRELM..ENDELM), arrays of MAXDAT elements.
void VU_XYSGRAPH(std::int32_t maxdat, std::int32_t strelm, std::int32_t endelm, const float* x,
                 const float* y, std::string_view title, std::string_view xlabel,
                 std::string_view ylabel, std::int32_t& status);

// Drawing helpers (they use the current drawn data display region and drawn graph plot
// position, and the device layer's current data window and viewport).
// Fills the whole page in the background colour when the background fill is on.
void VU_BACKGROUND(std::int32_t& status);
// Frame with numbered linear axes on the drawn data display region.
void VU_AXISFRAME(std::int32_t& status);
// Tick values for the range MIN..MAX: STEP 1, 2, 5 or 10 times a power of ten, about ten
// intervals; FIRST the first multiple of STEP in the range; NUMBER of ticks. Status 13 (+140000)
// when MAX is not above MIN (or either is not finite).
void VU_CAL_TICKS(float min, float max, float& first, float& step, std::int32_t& number,
                  std::int32_t& status);
// Where an axis puts its ticks and numbers relative to its line: toward lower coordinates
// (below / left), toward higher ones (above / right), or both sides (ticks only).
enum class VuSide { kLow = -1, kBoth = 0, kHigh = 1 };
// One linear axis: the line from LO to HI (world) at the fixed world coordinate POSITION
// (y for a HORIZONTAL axis, x for a vertical one), ticks FIRST + k STEP (NUMBER of them) on
// TICK_SIDE, numbers on NUMBER_SIDE when NUMBERS, the factor text when FACTOR.
void VU_LINAXIS(bool horizontal, float position, float lo, float hi, float first, float step,
                std::int32_t number, VuSide tick_side, bool numbers, VuSide number_side,
                bool factor, std::int32_t& status);
// Major and minor ticks of one axis (lengths in page units), within LO..HI.
void VU_LINTICKS(bool horizontal, float position, float lo, float hi, float first, float step,
                 std::int32_t number, VuSide side, std::int32_t& status);
// The numbers of one axis, and the power-of-ten factor when FACTOR and the values need one.
void VU_LINAXENUM(bool horizontal, float position, float first, float step, std::int32_t number,
                  VuSide side, bool factor, std::int32_t& status);
// Decimals for numbers FIRST + k STEP: the larger of the decimals UT_VTOC needs for FIRST and
// for STEP; WIDTH is the field the numbers are written in.
void VU_CAL_ENUMFIELD(float first, float step, std::int32_t& decimals, std::int32_t& width,
                      std::int32_t& status);
// The factor text "*10" followed by the exponent of MULTIPLIER, beside the drawn graph plot
// position (below right for a HORIZONTAL axis, above left for a vertical one).
void VU_EXPONT(bool horizontal, double multiplier, float text_height, std::int32_t& status);
// The factor text for MULTIPLIER: "*10" directly followed by NINT(log10(MULTIPLIER)).
std::string vu_factor_text(double multiplier);
// Title over, x label under and y label left of the drawn data display region.
void VU_TITLE(std::string_view title, std::int32_t& status);
void VU_XLABEL(std::string_view label, std::int32_t& status);
void VU_YLABEL(std::string_view label, std::int32_t& status);
// Colour scale bar below the graph plot position for the range MIN..MAX, labelled LABEL.
void VU_LUTSCALE(float min, float max, std::string_view label, std::int32_t& status);
// Grid lines at the current ticks, as switched on in VU_GRID_FLAGS.
void VU_GRID(std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Setters, inquiries and default writers. A setter stores its arguments in order in the record
// of the same name, an inquiry returns them, VU_DEF_ writes the defaults. Rejected values store
// nothing and set 140000 + 13 (x min not below x max), 14 (y min not below y max), 17 (bad
// choice) or 21 (size not above zero).

void VU_SET_WINDOWFORMAT(std::int32_t format);
void VU_INQ_WINDOWFORMAT(std::int32_t& format);
void VU_DEF_WINDOWFORMAT();
void VU_SET_PSFILE(bool open);
void VU_INQ_PSFILE(bool& open);
void VU_DEF_PSFILE();

void VU_SET_BACKGROUND(bool fill, std::int32_t colour, std::int32_t& status);
void VU_INQ_BACKGROUND(bool& fill, std::int32_t& colour, std::int32_t& status);
void VU_SET_GRAPHLAYOUT(float x_enum_gap, float y_enum_gap, float title_gap, float xlabel_gap,
                        float ylabel_gap, std::int32_t& status);
void VU_INQ_GRAPHLAYOUT(float& x_enum_gap, float& y_enum_gap, float& title_gap,
                        float& xlabel_gap, float& ylabel_gap, std::int32_t& status);
void VU_SET_AUTODDR(bool x_min, bool y_min, bool x_max, bool y_max, std::int32_t& status);
void VU_INQ_AUTODDR(bool& x_min, bool& y_min, bool& x_max, bool& y_max, std::int32_t& status);
void VU_SET_ERRORBARS(bool x, bool y, std::int32_t& status);
void VU_INQ_ERRORBARS(bool& x, bool& y, std::int32_t& status);
void VU_SET_DATALOGLIN(bool x_linear, bool y_linear, std::int32_t& status);
void VU_INQ_DATALOGLIN(bool& x_linear, bool& y_linear, std::int32_t& status);
void VU_SET_TITLESTYLE(bool display, std::int32_t font, std::int32_t colour, float size,
                       float aspect, float angle, std::int32_t& status);
void VU_INQ_TITLESTYLE(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                       float& aspect, float& angle, std::int32_t& status);
void VU_SET_XLABELSTYLE(bool display, std::int32_t font, std::int32_t colour, float size,
                        float aspect, float angle, std::int32_t& status);
void VU_INQ_XLABELSTYLE(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                        float& aspect, float& angle, std::int32_t& status);
void VU_SET_YLABELSTYLE(bool display, std::int32_t font, std::int32_t colour, float size,
                        float aspect, float angle, std::int32_t& status);
void VU_INQ_YLABELSTYLE(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                        float& aspect, float& angle, std::int32_t& status);
void VU_SET_YLABELORIENTATION(std::int32_t orientation, std::int32_t& status);
void VU_INQ_YLABELORIENTATION(std::int32_t& orientation, std::int32_t& status);
void VU_SET_ATEXTSTYLE(bool display, float x, float y, std::int32_t font, std::int32_t colour,
                       float size, float aspect, float angle, float spacing,
                       std::int32_t& status);
void VU_INQ_ATEXTSTYLE(bool& display, float& x, float& y, std::int32_t& font,
                       std::int32_t& colour, float& size, float& aspect, float& angle,
                       float& spacing, std::int32_t& status);
void VU_DEF_ATEXT(std::int32_t& status);
void VU_DEF_KEYLABELS(std::int32_t& status);
void VU_SET_KEY(std::int32_t mode, float x_min, float y_min, float x_max, float y_max, bool frame,
                std::int32_t& status);
void VU_INQ_KEY(std::int32_t& mode, float& x_min, float& y_min, float& x_max, float& y_max,
                bool& frame, std::int32_t& status);
void VU_SET_LUT(bool display, std::int32_t orientation, std::int32_t& status);
void VU_INQ_LUT(bool& display, std::int32_t& orientation, std::int32_t& status);
void VU_SET_KEYSTYLE(std::int32_t font, std::int32_t colour, float size, float aspect,
                     float angle, std::int32_t line_style, float line_width,
                     std::int32_t line_colour, std::int32_t& status);
void VU_INQ_KEYSTYLE(std::int32_t& font, std::int32_t& colour, float& size, float& aspect,
                     float& angle, std::int32_t& line_style, float& line_width,
                     std::int32_t& line_colour, std::int32_t& status);
void VU_DEF_ALABELS(std::int32_t& status);
void VU_DEF_ALABELSTYLES(std::int32_t& status);
void VU_DEF_ARROWS(std::int32_t& status);
void VU_DEF_ARROWSTYLES(std::int32_t& status);
void VU_SET_AXESLOGLIN(bool x_linear, bool y_linear, std::int32_t& status);
void VU_INQ_AXESLOGLIN(bool& x_linear, bool& y_linear, std::int32_t& status);
void VU_SET_AXESSTYLE(std::int32_t x, std::int32_t y, std::int32_t& status);
void VU_INQ_AXESSTYLE(std::int32_t& x, std::int32_t& y, std::int32_t& status);
void VU_SET_FRAMESTYLE(std::int32_t x_style, bool x_frame, std::int32_t y_style, bool y_frame,
                       std::int32_t& status);
void VU_INQ_FRAMESTYLE(std::int32_t& x_style, bool& x_frame, std::int32_t& y_style,
                       bool& y_frame, std::int32_t& status);
void VU_SET_HAXESSTYLE(std::int32_t line_style, float line_width, std::int32_t colour,
                       float major_length, float minor_length, std::int32_t minor_ticks,
                       std::int32_t& status);
void VU_INQ_HAXESSTYLE(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                       float& major_length, float& minor_length, std::int32_t& minor_ticks,
                       std::int32_t& status);
void VU_SET_VAXESSTYLE(std::int32_t line_style, float line_width, std::int32_t colour,
                       float major_length, float minor_length, std::int32_t minor_ticks,
                       std::int32_t& status);
void VU_INQ_VAXESSTYLE(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                       float& major_length, float& minor_length, std::int32_t& minor_ticks,
                       std::int32_t& status);
void VU_SET_XLTICKS(bool automatic, float first, float step, std::int32_t number,
                    std::int32_t& status);
void VU_INQ_XLTICKS(bool& automatic, float& first, float& step, std::int32_t& number,
                    std::int32_t& status);
void VU_SET_YLTICKS(bool automatic, float first, float step, std::int32_t number,
                    std::int32_t& status);
void VU_INQ_YLTICKS(bool& automatic, float& first, float& step, std::int32_t& number,
                    std::int32_t& status);
void VU_SET_XAXISENUM(bool display, std::int32_t font, std::int32_t colour, float size,
                      float aspect, float angle, std::int32_t max_chars, std::int32_t decimals,
                      bool automatic_decimals, bool automatic_factor, std::int32_t& status);
void VU_INQ_XAXISENUM(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                      float& aspect, float& angle, std::int32_t& max_chars,
                      std::int32_t& decimals, bool& automatic_decimals, bool& automatic_factor,
                      std::int32_t& status);
void VU_SET_YAXISENUM(bool display, std::int32_t font, std::int32_t colour, float size,
                      float aspect, float angle, std::int32_t max_chars, std::int32_t decimals,
                      bool automatic_decimals, bool automatic_factor, std::int32_t& status);
void VU_INQ_YAXISENUM(bool& display, std::int32_t& font, std::int32_t& colour, float& size,
                      float& aspect, float& angle, std::int32_t& max_chars,
                      std::int32_t& decimals, bool& automatic_decimals, bool& automatic_factor,
                      std::int32_t& status);
void VU_SET_DDR(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_DDR(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status);
void VU_SET_DDDR(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_DDDR(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status);
// x min equal to x max is accepted here; rejected values are written to the console.
void VU_SET_IDR(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_IDR(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status);
void VU_SET_IASPECT(bool keep, std::int32_t& status);
void VU_INQ_IASPECT(bool& keep, std::int32_t& status);
// The rectangle is checked only when DRAWN is true (the default holds an empty rectangle).
void VU_SET_DLUTPC(bool drawn, float x_min, float y_min, float x_max, float y_max,
                   std::int32_t& status);
void VU_INQ_DLUTPC(bool& drawn, float& x_min, float& y_min, float& x_max, float& y_max,
                   std::int32_t& status);
void VU_SET_GPP(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_GPP(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status);
void VU_SET_DGPP(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_DGPP(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& status);
void VU_DEF_GPP(std::int32_t& status);
void VU_SET_GRID(bool h_coarse, bool v_coarse, bool h_fine, bool v_fine, std::int32_t& status);
void VU_INQ_GRID(bool& h_coarse, bool& v_coarse, bool& h_fine, bool& v_fine,
                 std::int32_t& status);
void VU_SET_HCOARSEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                        std::int32_t& status);
void VU_INQ_HCOARSEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                        std::int32_t& status);
void VU_SET_VCOARSEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                        std::int32_t& status);
void VU_INQ_VCOARSEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                        std::int32_t& status);
void VU_SET_HFINEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                      std::int32_t& status);
void VU_INQ_HFINEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                      std::int32_t& status);
void VU_SET_VFINEGRID(std::int32_t line_style, float line_width, std::int32_t colour,
                      std::int32_t& status);
void VU_INQ_VFINEGRID(std::int32_t& line_style, float& line_width, std::int32_t& colour,
                      std::int32_t& status);
void VU_DEF_CURVESTYLES(std::int32_t& status);
void VU_DEF_CURVEMARKERS(std::int32_t& status);
void VU_DEF_CURVESOFTMARKERS(std::int32_t& status);
void VU_DEF_CURVELINES(std::int32_t& status);
void VU_DEF_CURVEERRORS(std::int32_t& status);
void VU_SET_3DSTYLE(std::int32_t mode, std::int32_t lines, float scale, bool hidden, bool frame,
                    std::int32_t colour, std::int32_t& status);
void VU_INQ_3DSTYLE(std::int32_t& mode, std::int32_t& lines, float& scale, bool& hidden,
                    bool& frame, std::int32_t& colour, std::int32_t& status);
void VU_SET_3DSIMAGE(std::int32_t mode, std::int32_t colour, std::int32_t& status);
void VU_INQ_3DSIMAGE(std::int32_t& mode, std::int32_t& colour, std::int32_t& status);
void VU_SET_3DAXES(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t& status);
void VU_INQ_3DAXES(std::int32_t& x, std::int32_t& y, std::int32_t& z, std::int32_t& status);
void VU_DEF_3DVIEW(std::int32_t& status);
void VU_SET_IMAGESCALE(std::int32_t mode, float min, float max, std::int32_t& status);
void VU_INQ_IMAGESCALE(std::int32_t& mode, float& min, float& max, std::int32_t& status);
void VU_DEF_IMAGESCALE(std::int32_t& status);
void VU_SET_PIXELLIMITS(std::int32_t first, std::int32_t second, std::int32_t& status);
void VU_INQ_PIXELLIMITS(std::int32_t& first, std::int32_t& second, std::int32_t& status);
void VU_DEF_PIXELLIMITS(std::int32_t& status);
void VU_SET_MASKCOLOUR(std::int32_t colour, std::int32_t& status);
void VU_INQ_MASKCOLOUR(std::int32_t& colour, std::int32_t& status);
void VU_DEF_MASKCOLOUR(std::int32_t& status);
void VU_SET_POSTSCRIPT(bool allowed, std::int32_t& status);
void VU_INQ_POSTSCRIPT(bool& allowed, std::int32_t& status);
void VU_DEF_POSTSCRIPT(std::int32_t& status);
// MODE must be 0 (17 otherwise).
void VU_SET_PROGRESS(float x_min, float y_min, float x_max, float y_max, std::int32_t mode,
                     std::int32_t& status);
void VU_INQ_PROGRESS(float& x_min, float& y_min, float& x_max, float& y_max, std::int32_t& mode,
                     std::int32_t& status);
void VU_SET_GUIREGION(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_GUIREGION(float& x_min, float& y_min, float& x_max, float& y_max,
                      std::int32_t& status);
void VU_DEF_GUIREGION(std::int32_t& status);
void VU_SET_MESSAGE(float x_min, float y_min, float x_max, float y_max, std::int32_t& status);
void VU_INQ_MESSAGE(float& x_min, float& y_min, float& x_max, float& y_max,
                    std::int32_t& status);
void VU_DEF_MESSAGE(std::int32_t& status);
void VU_DEF_MESSAGESTYLE(std::int32_t& status);
void VU_DEF_MENUSTYLE(std::int32_t& status);
void VU_DEF_MENULAYOUT(std::int32_t& status);
