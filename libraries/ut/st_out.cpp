// The status report printed at the end of a run.
#include <array>
#include <cstdlib>
#include <utility>

#include "ut.h"

namespace {
std::string_view module_text(std::int64_t module) {
  switch (module) {
    case 10000: return "UT: Input/Output and Status";
    case 20000: return "NU: Mathematics";
    // Library groups that share the status convention but are not part of this system.
    case 30000: return "IN: Interactive Input";
    case 40000: return "IM: Image Processing";
    case 50000: return "FT: Fourier Transforms";
    case 60000: return "FI: Fitting";
    case 70000: return "ST: Statistics";
    case 80000: return "GE: Geometry";
    case 100000: return "DA: Data Acquisition";
    case 110000: return "DB: Data Base";
    case 120000: return "MA: Macro Language";
    case 130000: return "DV: \"Divect Graphics\"";
    case 140000: return "VU: \"Graphics System\"";
    case 150000: return "SC: Scattering";
    case 160000: return "CR: Crystallography";
    case 170000: return "TO: Tomography";
    case 180000: return "DAX: File Input/Output Module";
    case 9980000: return "SPECIAL: using standard status values";
    case 9990000: return "SPECIAL: using non-standard status values";
    default: return "UNKNOWN:";
  }
}

// Kinds 1 to 40: ten groups of four, one per array dimension. The spellings (including the
// "Fourth of greater" variants and the trailing blanks of group 4) are part of the report.
constexpr std::array<std::string_view, 40> kDimensionKinds = {
    "First array dimension illegally defined",
    "Second array dimension illegally defined",
    "Third array dimension illegally defined",
    "Fourth or greater array dimension illegally defined",
    "First dimension data region illegally defined",
    "Second dimension data region illegally defined",
    "Third dimension data region illegally defined",
    "Fourth or greater dimension data region illegally defined",
    "First dimension internal array limit exceeded",
    "Second dimension internal array limit exceeded",
    "Third dimension internal array limit exceeded",
    "Fourth or greater dimension internal array limit exceeded",
    "First dimension: illegal relationship between two variables ",
    "Second dimension: illegal relationship between two variables ",
    "Third dimension: illegal relationship between two variables ",
    "Fourth of greater dimension: illegal relationship between two variables ",
    "First dimension: integer value out of acceptable range",
    "Second dimension: integer value out of acceptable range",
    "Third dimension: integer value out of acceptable range",
    "Fourth or greater dimension: integer value out of acceptable range",
    "First dimension: real value out of acceptable range",
    "Second dimension: real value out of acceptable range",
    "Third dimension: real value out of acceptable range",
    "Fourth or greater dimension: real value out of acceptable range",
    "First dimension: number of elements is not a power of two",
    "Second dimension: number of elements is not a power of two",
    "Third dimension: number of elements is not a power of two",
    "Fourth of greater dimension: number of elements is not a power of two",
    "First dimension: a value which must be even is not",
    "Second dimension: a value which must be even is not",
    "Third dimension: a value which must be even is not",
    "Fourth of greater dimension: a value which must be even is not",
    "First dimension: badly defined character variable",
    "Second dimension: badly defined character variable",
    "Third dimension: badly defined character variable",
    "Fourth of greater dimension: badly defined character variable",
    "First dimension external array limit exceeded",
    "Second dimension external array limit exceeded",
    "Third dimension external array limit exceeded",
    "Fourth or greater dimension external array limit exceeded",
};

constexpr std::array<std::pair<int, std::string_view>, 19> kOtherKinds = {{
    {1000, "Failed to open file: (file not found or bad file name ?)"},
    {1001, "Bad input: End of file found"},
    {1002, "Bad memory allocation: Memory allocation failed"},
    {1003, "Divide by zero encountered: result set to -1.7014117e38"},
    {1004, "Logarithm of zero or a negative number: result set to -38.0"},
    {1005, "Bad data in file input "},
    {1006, "Inversion (or similar) failed owing to singular or ill-conditioned matrix"},
    {1007, "Operation not possible owing to bad internal state (internal data-base)"},
    {1008, "Bad input: Error during READ statement"},
    {1009, "Unknown operating system/compiler characteristics (edit and re-compile)"},
    {1010, "Write to output file failed"},
    {1011, "Read from file failed (but not EOF)"},
    {1012, "Array element values not in required order"},
    {1013, "Syntax error from an input macro"},
    {1014, "Bad data has caused problem with algorithm"},
    {1015, "String of insufficient length for assignment"},
    {2001, "Failed to open X-11 window (use \"xhost+\" on X-server ?)"},
    {2002, "Illegal graphics workstation number access attempted"},
    {9999, "Other, undefined error (doesn't fit normal categories)"},
}};

// The text of an error kind; empty when the kind is not in the table.
std::string_view kind_text(int kind) {
  if (kind >= 1 && kind <= 40) return kDimensionKinds[static_cast<std::size_t>(kind - 1)];
  for (const auto& [code, text] : kOtherKinds) {
    if (code == kind) return text;
  }
  return {};
}
}  // namespace

void ST_OUT(std::int32_t status) {
  std::int32_t out = ST_OK;  // the report is printed whatever the caller's status
  const std::string& position = st_position();
  if (status == ST_OK) {
    if (SLEN(position) == 0) return;
    UT_WRITE(" ", out);
    UT_WRITE("STATUS: The \"status\" value appears to be good, but an error position has", out);
    UT_WRITE("been reported in:", out);
    UT_WRITE(position, out);
    UT_WRITE("This is probably due to incorrect calling arguments", out);
  } else if (status == ST_ESCAPE) {
    UT_WRITE(" ", out);
    UT_WRITE("STATUS: The \"status\" value is set to the user escape value", out);
  } else {
    const std::int64_t module = static_cast<std::int64_t>(status) / 10000 * 10000;
    const int kind = static_cast<int>(std::abs(static_cast<std::int64_t>(status)) % 10000);
    UT_WRITE(" ", out);
    UT_WRITE("STATUS: The error was identified in module:", out);
    UT_WRITE(module_text(module), out);
    UT_WRITE(" ", out);
    UT_WRITE("STATUS: Position where error condition was identified", out);
    UT_WRITE(position, out);
    std::string_view kind_line = kind_text(kind);
    if (kind_line.empty()) {
      UT_WRITE("WARNING: Unknown value for the status variable; value = " +
                   ut_fmt_int(status, 14),
               out);
      kind_line = "Undefined error value";
    }
    UT_WRITE(" ", out);
    UT_WRITE("STATUS: The error condition has been classified as:", out);
    UT_WRITE(kind_line, out);
  }
}
