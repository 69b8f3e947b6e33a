// Program entry: banner, parameter file, optional graphics, one driver call, closing lines and
// the status report.
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "rav.h"
#include "rav_core.h"
#include "rav_mpi.h"
#include "ut.h"
#include "vu.h"

namespace {
constexpr std::int32_t kMaxArgs = 10;
constexpr std::int32_t kLutChoice = 4;     // white (low) to black (high)
constexpr std::int32_t kLutLevels = 200;

std::string trimmed(const std::string& text) {
  return text.substr(0, static_cast<std::size_t>(SLEN(text)));
}

void write_lines(std::initializer_list<std::string_view> lines, std::int32_t& status) {
  for (std::string_view line : lines) UT_WRITE(line, status);
}

// One of the drivers. False when a fatal error stopped the run: its message is then the last
// thing printed (the process ends without the status report), and a run of several processes
// is ended on every one of them.
bool run_driver(const ParameterSet& parameters, std::int32_t& status) {
  try {
    if (parameters.RECONSTRUCT_FROM_SINOGRAMS) {
      RAV_SINORECONSTRUCTION(parameters, status);
    } else {
      RAV_RECONSTRUCTION(parameters, status);
    }
    return true;
  } catch (const RavFatalError& error) {
    const std::string text = error.what();
    for (std::size_t start = 0; start <= text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      std::int32_t message_status = ST_OK;  // shown whatever the status of the run
      UT_WRITE(text.substr(start, end - start), message_status);
      start = end + 1;
    }
    std::fflush(stdout);
    rav_mpi_abort_job();
    return false;
  }
}
// The run of one parameter file, from reading it to the closing lines: 0 when it did what was
// asked, 1 when the file could not be used, -1 when a fatal error ended the run.
int run_parameter_file(const std::string& parameter_file, std::int32_t& status) {
  ParameterSet parameters;
  std::int32_t retstat = 0;
  RAV_READ_PARAMETERS(parameter_file, retstat, parameters, status);
  // Of the ranks of a run on several processes, only rank 0 shows the graphics.
  if (!rav_mpi_is_root()) parameters.DISPLAY_GRAPHICS = false;

  UT_WRITE("INFO: Output file: " + trimmed(parameters.OUTPUT_FILE), status);
  UT_WRITE(" ", status);
  if (parameters.DISPLAY_GRAPHICS) {
    VU_OPEN_GRAPHICS(status);
    VU_SET_LUTCHOICE(kLutChoice, kLutLevels, status);
    VU_COLOURS(status);
    if (status != ST_OK && retstat == 0) {
      // Nothing will be reconstructed: say so, and how to run without a window.
      std::int32_t shown = ST_OK;
      write_lines({"ERROR: The graphics window could not be opened: nothing is reconstructed",
                   "       Without a display, give +PNG after the parameter file name (the",
                   "       pictures are then written as PNG files), or set DISPLAY_GRAPHICS = NO"},
                  shown);
    }
  }
  // With retstat not 0 the reason was printed while reading (a bad header line excepted).
  // With several ranks, the driver runs only when every rank read the same parameters and
  // can run it: a rank with a bad status would miss the votes the others wait at.
  bool run = retstat == 0;
  if (rav_mpi_size() > 1) {
    run = rav_mpi_vote(retstat == 0 && status == ST_OK, rav_mpi_parameter_key(parameters));
  }
  if (run && !run_driver(parameters, status)) return -1;
  if (parameters.DISPLAY_GRAPHICS) VU_CLOSE_GRAPHICS(status);

  UT_WRITE(" ", status);
  UT_WRITE("INFO: Output file: " + trimmed(parameters.OUTPUT_FILE), status);
  UT_WRITE("INFO: RAV_VUZAV V1.7  FINISHED", status);
  return retstat != 0 ? 1 : 0;
}

// "--help" and "--version" as the only argument: their text, and true.
bool answered_option(int argc, char** argv, std::int32_t& status) {
  if (argc != 2) return false;
  const std::string option = argv[1];
  if (option == "--version") {
    UT_WRITE("RAV_VUZAV V1.7", status);
    return true;
  }
  if (option != "--help") return false;
  write_lines(
      {"Usage:", " ", "rav_vuzav my_parameters.par", " ",
       "Where \"my_parameters.par\" is the parameter file created by \"rav_master\"", " ",
       "Reconstructs the slices the parameter file names from a parallel-beam scan by",
       "filtered back-projection, into OUTPUT_FILE (one record of 32-bit floats per",
       "slice) and OUTPUT_FILE.info. The volume is written under a temporary name and",
       "renamed when complete: a run that fails or is stopped leaves an earlier volume",
       "as it was.", " ", "Options after the parameter file name (graphics):",
       "  +PNG         every picture as the next rav_plot_NNNN.png, no window",
       "  +LANDSCAPE   a landscape page", " ", "  --help       this text",
       "  --version    the program's version", " ",
       "Exit code: 0 the whole volume was written, 1 it was not, 2 no parameter file."},
      status);
  return true;
}

}  // namespace

int RAV_VUZAV(int argc, char** argv) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  ut_set_command_line(argc, argv);
  if (answered_option(argc, argv, status)) {
    std::fflush(stdout);
    return 0;
  }

  write_lines({" ", "                --------------", "                RAV_VUZAV V1.7",
               "                --------------", " ",
               "AXIS POSITION SHOULD NOW BE 'IMAGE CENTRE - OFFSET' FOR ALL",
               "RECONSTRUCTION METHODS.", "e.g. For 1024 pixel width, 'IMAGE CENTRE' is 512.0",
               " "},
              status);

  std::int32_t num_args = 0;
  std::vector<std::string> args;
  UT_GETARGS(kMaxArgs, num_args, args, status);

  // 2: usage shown; 1: the run could not do what was asked; 0: it did.
  int exit_code = 2;
  if (num_args <= 1) {
    write_lines({" ", "Usage:", " ", "rav_vuzav my_parameters.par", " ",
                 "Where \"my_parameters.par\" is the parameter file created by \"rav_master\"",
                 " "},
                status);
  } else {
    // The whole name is kept: cutting a long path could open a different file.
    exit_code = run_parameter_file(args.size() > 1 ? args[1] : std::string(), status);
    if (exit_code < 0) return 1;  // a fatal error ended the run
  }

  UT_WRITE(" ", status);
  rav_mpi_show_report();
  ST_OUT(status);
  std::fflush(stdout);
  if (status != ST_OK || rav_mpi_run_failed()) exit_code = 1;
  return exit_code;
}
