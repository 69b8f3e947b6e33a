// rav_phantom: writes a synthetic parallel-beam scan that rav_vuzav reconstructs, together with
// the ground truth to compare the reconstruction against.
//
// Units
//   Attenuation mu is in 1/cm. Lengths in the slice plane are counted in detector pixels; the
//   pixel size d (--pixel-size) is in cm. The line integral of a ray is dimensionless:
//   p = d x sum(mu x chord in pixels), each bin's p averaged over --subsamples positions across
//   the bin and along the slice thickness.
//   Each detector value is  image = B + F x exp(-p),  where B is the background image and F the
//   flat field minus the background (with a flat-field series, the same mix (1 - f) F_a + f F_b
//   of two neighbouring flat fields that the reconstruction forms for that projection). So the
//   reconstruction's -ln((image - B) / (flat - B)) gives p back, exactly for --float images and
//   within half a count for 16-bit ones. Its scale factor (pi/2) / NUM_PROJECTIONS x
//   (1 cm / pixel size), with the ramp filter 2|f| and the sum over a half turn, then gives mu
//   in 1/cm at every slice pixel: the same quantity as the ground truth.
//   With --noise N the open beam stands for N photons and each projection value is a Poisson
//   count scaled back to grey levels; background and flat fields stay noiseless, as if
//   averaged over many frames.
//
// Geometry (the reconstruction's own)
//   Slice pixel (i, r) has its centre at (i - 0.5, r - 0.5); the rotation axis is the point
//   (A, A), A = bins / 2 - --axis-offset (ROTATION_AXIS_POSITION = IMAGE CENTRE - OFFSET, the
//   program's banner's convention). Projection j is taken at theta_j = ANGLE_OFFSET + (j - 1) x
//   --turn / projections degrees (--turn / (projections - 1) with --with-end), and a point
//   (x, y) of the slice lies on detector coordinate u = (x - A) cos theta - (y - A) sin theta
//   + A; bin k covers u in [k - 1, k]. At theta = 0 bin k sees column k; at 90 degrees it sees row
//   2A + 1 - k.
//   Slice s covers [s - 1, s] along the rotation axis and is image row s (rotation axis
//   vertical, bins along the image's first axis) or image column s (--horizontal: the images
//   are transposed, bins run down the columns, and the parameter file exchanges voxel axes 1
//   and 3 as the reconstruction expects).
//   With --half-acquisition (a whole turn) the slices are those of the joined sinogram, twice the
//   detector's width, with the axis at A + SHIFT (SHIFT = bins when A < bins / 2, else 0), and
//   the head fills its circle: the detector sees only part of it in each projection.
//   The head is centred on the axis, fills 70 % of the reconstruction circle, and the slice
//   stack spans its middle (head z from -0.5 to 0.5) whatever the number of slices. The room
//   around it matters: the program's ramp filter, sampled in the frequency domain with zero
//   weight at DC, lowers every slice by an offset that grows with the square of the object's
//   width relative to the detector (about 6 % of the brain's value at 90 %, under 4 % at 70 %).
//
// Files written into the output directory
//   proj_NNNN.zlf (1 .. projections), background.zlf, flat.zlf or flat_NNNN.zlf (series),
//   phantom.par, truth.raw (one record of bins x bins little-endian floats per slice: mu in
//   1/cm averaged over the voxel's sub-samples, zero outside the head) and truth.raw.info.
//   The parameter file names recon.raw as the reconstruction's output in the same layout.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "phantom.h"
#include "ut.h"

int main(int argc, char** argv) {
  std::int32_t status = ST_OK;
  ST_DEF_SYSTEM(status);

  std::vector<std::string> args(argv + 1, argv + argc);
  PhantomOptions options;
  std::string error;
  if (!phantom_parse_options(args, options, error)) {
    UT_WRITE("ERROR: " + error, status);
    UT_WRITE("       (rav_phantom --help lists the options)", status);
    return 1;
  }
  if (options.help) {
    for (const std::string& line : phantom_help()) UT_WRITE(line, status);
    return 0;
  }
  try {
    return phantom_write_scan(options) ? 0 : 1;
  } catch (const std::bad_alloc&) {
    UT_WRITE("ERROR: Not enough memory for a scan of this size", status);
    return 1;
  }
}
