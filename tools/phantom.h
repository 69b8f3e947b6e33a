// Synthetic parallel-beam scans for rav_vuzav: an analytic 3-D phantom of ellipsoids, its line
// integrals and ground truth, and the writer of a whole scan directory (projections, background,
// flat fields, parameter file, ground-truth volume). Units and geometry: see rav_phantom.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Analytic model.

// One ellipsoid: centre (x, y, z), semi-axes a (along the rotated x direction), b, c (along z),
// rotation phi about the z axis (radians, from +x toward +y) and the attenuation it adds where
// it lies, in 1/cm. Ellipsoids overlap additively.
struct PhantomEllipsoid {
  double x = 0, y = 0, z = 0;
  double a = 1, b = 1, c = 1;
  double phi = 0;
  double mu = 0;
};

// The cross-section of an ellipsoid in one plane z = constant.
struct PhantomEllipse {
  double x = 0, y = 0;
  double a = 1, b = 1;
  double phi = 0;
  double mu = 0;
};

// The Shepp-Logan-like head in its own units (the skull fills about [-0.69, 0.69] x [-0.92, 0.92]
// x [-0.9, 0.9]); attenuation in 1/cm: skull 0.5, brain 0.2, ventricles 0.15, small features
// 0.23.
std::vector<PhantomEllipsoid> phantom_head();

// Where the head sits in a scan. Slice-plane coordinates x, y are in detector pixels as the
// reconstruction counts them (slice pixel (i, r) has its centre at (i - 0.5, r - 0.5)); z is in
// detector rows along the rotation axis (slice s covers z in [s - 1, s]).
struct PhantomPlacement {
  double axis = 0;       // rotation axis position A: the head's centre is (A, A)
  double radius = 0;     // pixels per head unit in the slice plane
  double z_centre = 0;   // z of the head's z = 0
  double z_scale = 0;    // detector rows per head unit along z
};

// The placement for a scan of BINS bins and SLICES slices about axis A: the head is centred on
// the axis, fills 70 % of the reconstruction circle (less a two-pixel margin), and the slice
// stack spans head z from -0.5 to 0.5 whatever the number of slices.
PhantomPlacement phantom_placement(int bins, int slices, double axis);

// HEAD moved and scaled into scan coordinates (pixels, detector rows).
std::vector<PhantomEllipsoid> phantom_place(const std::vector<PhantomEllipsoid>& head,
                                            const PhantomPlacement& placement);

// The cross-sections of ELLIPSOIDS in the plane at Z (ellipsoids that miss it are left out).
std::vector<PhantomEllipse> phantom_cross_section(const std::vector<PhantomEllipsoid>& ellipsoids,
                                                  double z);

// Attenuation (1/cm) at the point (x, y, z): the sum over the ellipsoids that hold it strictly.
double phantom_attenuation(const std::vector<PhantomEllipsoid>& ellipsoids, double x, double y,
                           double z);

// Length (in pixels) of the chord that the ray of detector coordinate U at angle THETA cuts
// from ELLIPSE, with the rotation axis at (AXIS, AXIS). The ray is the set of points with
// (x - A) cos THETA - (y - A) sin THETA + A = U, the back-projection's own relation.
double phantom_chord(const PhantomEllipse& ellipse, double theta, double u, double axis);

// Sum of mu x chord over ELLIPSES (1/cm x pixels).
double phantom_line_sum(const std::vector<PhantomEllipse>& ellipses, double theta, double u,
                        double axis);

// One projection row of one slice: P[k - 1] for bin k = 1..P.size() (covering u in [k-1, k])
// is the line integral (dimensionless: mu in 1/cm times path in cm) averaged over SUB
// sub-samples u = k - 1 + (m + 0.5) / SUB of the bin and over the planes of SECTIONS (one
// cross-section per z sub-sample of the slice). PIXEL_CM is the pixel size in cm.
void phantom_projection_row(const std::vector<std::vector<PhantomEllipse>>& sections,
                            double theta, double axis, int sub, double pixel_cm,
                            std::span<double> p);

// The z sub-samples of slice S (1-based): z = S - 1 + (q + 0.5) / SUB, q = 0..SUB-1.
std::vector<double> phantom_slice_planes(int slice, int sub);

// Ground truth of slice S: TRUTH[(i - 1) + (r - 1) x NUM] for pixel (i, r), i, r = 1..NUM, is
// the attenuation in 1/cm averaged over SUB x SUB x SUB sub-samples of the voxel
// [i-1, i] x [r-1, r] x [S-1, S] (the z planes of phantom_slice_planes).
void phantom_truth_slice(const std::vector<PhantomEllipsoid>& ellipsoids, int slice, int num,
                         int sub, std::span<float> truth);

// ---------------------------------------------------------------------------------------------
// Scan description and command line.

struct PhantomOptions {
  int bins = 128;              // detector bins = slice width and height
  int projections = 180;       // over a half turn
  int slices = 8;              // detector rows (image rows, or columns with --horizontal)
  double pixel_cm = 0.01;      // pixel size in cm
  double axis_offset = 0;      // bins / 2 minus the axis in pixels: axis = IMAGE CENTRE - OFFSET
  double angle_offset = 0;     // first angle, degrees
  bool horizontal = false;     // rotation axis along the image's first axis (images transposed)
  bool as_float = false;       // 32-bit float images instead of 16-bit unsigned
  double noise = 0;            // photons per open-beam pixel for Poisson noise; 0: none
  std::uint64_t seed = 20240601;
  int flat_series = 0;         // flat fields along the scan (2 or more); 0: one flat field
  int subsamples = 4;          // per bin, pixel and slice along each axis
  int oversampling = 0;        // OVERSAMPLING_FACTOR written to the parameter file
  int sinogram_mb = 800;       // SINOGRAM_MEGABYTES written to the parameter file
  bool relative = false;       // file names relative to the output directory
  std::string out;             // output directory
  bool help = false;

  // The rotation axis: the angle the scan covers, its end, half acquisition.
  double turn = 180.0;            // degrees the projections span
  bool with_end = false;          // the last projection at the end of the turn
  bool half_acquisition = false;  // the head fills the circle of a detector twice as wide
  double fill = 0.7;              // part of the reconstruction circle the head fills
};

// Reads the options from ARGS (program name excluded). On a bad option returns false with the
// message (without "ERROR: ") in ERROR.
bool phantom_parse_options(const std::vector<std::string>& args, PhantomOptions& options,
                           std::string& error);

// The --help text, line by line.
std::vector<std::string> phantom_help();

// ---------------------------------------------------------------------------------------------
// The scan as written.

// Nominal grey levels of the detector.
constexpr double kPhantomDark = 100.0;     // background (dark) level, counts
constexpr double kPhantomOpen = 50000.0;   // open beam above the background, counts

// Geometry of the scan exactly as the reconstruction will see it (single-precision values
// read back from the parameter file's text).
struct PhantomScan {
  PhantomOptions options;
  float axis = 0;            // ROTATION_AXIS_POSITION
  float angle_offset = 0;    // radians, as the parameter reader stores it
  float angle_step = 0;      // radians
  std::string angle_offset_text, angle_step_text, axis_text, pixel_um_text;
  int number_digits = 4;     // LENGTH_OF_NUMERICAL_PART
  int ff_interval = 0;       // FF_FILE_INTERVAL (flat-field series only)
  int ff_last = 0;           // FF_NUM_LAST_IMAGE
  int ff_digits = 4;         // FF_LENGTH_OF_NUMERICAL_PART
  std::string prefix;        // directory part of the file names in the parameter file
};

// Derives the scan's geometry and naming from OPTIONS (which must have passed the parser).
PhantomScan phantom_scan(const PhantomOptions& options);

// Slices are NUM x NUM pixels: the detector's width, or, for half acquisition, that of the
// joined sinogram (twice as wide), in whose frame the axis lies at AXIS + SHIFT.
struct PhantomFrame {
  int num = 0;
  double shift = 0;
};
PhantomFrame phantom_frame(const PhantomScan& scan);

// The head in the frame of the scan's projections (at (axis, axis)) and of its slices (at
// (axis + shift, axis + shift)): the same size, filling 70 % of the slices' reconstruction
// circle.
std::vector<PhantomEllipsoid> phantom_scan_head(const PhantomScan& scan, bool slice_frame);

// Angle of projection J (1-based) as the back-projection accumulates it.
double phantom_angle(const PhantomScan& scan, int j);

// The flat-field series: the flat field in effect for projection J (1-based) is
// (1 - f) x flat A + f x flat B with the numbers and weight the reconstruction uses.
struct PhantomFlatWeights {
  int flat_a = 0, flat_b = 0;  // 0-based positions in the series
  double f = 0;
};
PhantomFlatWeights phantom_flat_weights(const PhantomScan& scan, int j);

// Detector background and flat field (including the background) at bin k and row s (1-based),
// in counts, before the rounding of 16-bit images; FLAT is the position in the series (0 for
// a single flat field).
double phantom_background(int k, int s);
double phantom_flat(int k, int s, int flat, const PhantomScan& scan);

// The parameter file's lines.
std::vector<std::string> phantom_parameter_lines(const PhantomScan& scan);

// Writes the whole scan into options.out. Prints INFO lines; returns false after an
// "ERROR: " line.
bool phantom_write_scan(const PhantomOptions& options);
