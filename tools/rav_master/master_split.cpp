// rav_master --split N FILE.par: N parameter files over contiguous slice ranges, one worker
// each, writing volume parts, and the scripts that run them (one after another, or as a Slurm
// array job) and join the parts.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "master.h"
#include "rav_drivers.h"
#include "rav_volume_writer.h"
#include "ut.h"

namespace fs = std::filesystem;

namespace {
void message(const std::string& line) {
  std::int32_t status = ST_OK;
  UT_WRITE(line, status);
}

// Sets KEYWORD to VALUE in the lines of a parameter file (the line's own comment replaced by
// COMMENT), appending it when missing.
void replace_keyword(std::vector<std::string>& lines, const std::string& keyword,
                     const std::string& value, const std::string& comment) {
  const std::string line = keyword + " = " + value + "   ! " + comment;
  for (std::string& l : lines) {
    std::istringstream words(l);
    std::string key, equals;
    words >> key >> equals;
    if (key == keyword && equals == "=") {
      l = line;
      return;
    }
  }
  lines.push_back(line);
}

std::vector<std::string> file_lines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

}  // namespace

std::string master_part_file(const std::string& parameter_file, std::int32_t k) {
  const std::string part = "_part" + std::to_string(k) + ".par";
  return parameter_file.ends_with(".par")
             ? parameter_file.substr(0, parameter_file.size() - 4) + part
             : parameter_file + part;
}

std::string master_part_output(const std::string& output_file, std::int32_t k) {
  return output_file + ".part" + std::to_string(k);
}

namespace {
std::string stem(const std::string& parameter_file) {
  return parameter_file.ends_with(".par") ? parameter_file.substr(0, parameter_file.size() - 4)
                                          : parameter_file;
}

bool write_scripts(const std::string& parameter_file, std::int32_t parts) {
  std::error_code ignored;
  const std::string here = fs::current_path(ignored).string();
  const std::string vuzav = quoted(master_program("rav_vuzav")), master = quoted(master_program("rav_master"));
  const std::string par = quoted(fs::absolute(parameter_file, ignored).string());
  const std::string part_prefix = fs::absolute(stem(parameter_file), ignored).string() + "_part";
  std::string run = "#!/bin/sh\n# The " + std::to_string(parts) + " parts of " + parameter_file +
                    " one after another, then joined into one volume.\nset -e\ncd " +
                    quoted(here) + "\nfor k in $(seq 1 " + std::to_string(parts) + "); do\n  " +
                    vuzav + " " + quoted(part_prefix) + "\"$k\".par\ndone\n" + master +
                    " --join " + par + "\n";
  std::string slurm =
      "#!/bin/bash\n# The " + std::to_string(parts) + " parts of " + parameter_file +
      " as a Slurm array job, one worker per task.\n# When every task has ended, join them:\n#   " +
      master + " --join " + par + "\n# (or submit that with sbatch --dependency=afterok:JOBID)\n" +
      "#SBATCH --job-name=rav_vuzav\n#SBATCH --array=1-" + std::to_string(parts) +
      "\n#SBATCH --ntasks=1\n#SBATCH --output=" + part_prefix + "%a.log\ncd " + quoted(here) +
      "\nif [ -n \"$SLURM_CPUS_PER_TASK\" ]; then export OMP_NUM_THREADS=$SLURM_CPUS_PER_TASK; fi\n"
      "exec " + vuzav + " " + quoted(part_prefix) + "\"$SLURM_ARRAY_TASK_ID\".par\n";
  const std::string run_name = stem(parameter_file) + "_run.sh",
                    slurm_name = stem(parameter_file) + "_slurm.sh";
  if (!master_write_file(run_name, run, false) || !master_write_file(slurm_name, slurm, false)) {
    return false;
  }
  fs::permissions(run_name, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add,
                  ignored);
  fs::permissions(slurm_name, fs::perms::owner_exec | fs::perms::group_exec,
                  fs::perm_options::add, ignored);
  message("INFO: Run them one after another and join: " + run_name);
  message("INFO: Or as a Slurm array job: sbatch " + slurm_name + ", then rav_master --join " +
          parameter_file);
  return true;
}

// What a split needs of P: a volume from projections whose slices can be shared. The axis of
// AUTO is found here once (every part must use the one the whole run would find).
bool splittable(const ParameterSet& p, std::int32_t parts, std::string& axis) {
  std::int32_t status = ST_OK;
  if (!RAV_CHECK_PARAMETERS(p, p.RECONSTRUCT_FROM_SINOGRAMS, status)) return false;
  if (p.RECONSTRUCT_FROM_SINOGRAMS || p.AXIS_SWEEP.given || !p.OUTPUT_RECONSTRUCTION) {
    message("ERROR: --split shares the slices of a volume reconstructed from projections: not a "
            "run from sinograms, a sweep or a run without OUTPUT_RECONSTRUCTION");
    return false;
  }
  const std::int32_t slices = p.ROTATION_VERTICAL ? p.END_VOXEL_3 - p.START_VOXEL_3 + 1
                                                  : p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  if (parts < 1 || parts > slices) {
    message("ERROR: --split " + std::to_string(parts) + ": the run has " +
            std::to_string(slices) + " slices");
    return false;
  }
  if (!p.ROTATION_AXIS_AUTO) return true;
  axis = master_find_axis(p);
  return !axis.empty();
}
}  // namespace

int master_split(const std::string& parameter_file, std::int32_t parts) {
  ParameterSet p;
  std::int32_t retstat = 0, status = ST_OK;
  RAV_READ_PARAMETERS(parameter_file, retstat, p, status);
  std::string axis;
  if (retstat != 0 || !splittable(p, parts, axis)) return 1;
  const std::vector<std::string> lines = file_lines(parameter_file);
  const std::string along = p.ROTATION_VERTICAL ? "3" : "1";
  const std::int32_t first = p.ROTATION_VERTICAL ? p.START_VOXEL_3 : p.START_VOXEL_1;
  const std::int32_t slices = (p.ROTATION_VERTICAL ? p.END_VOXEL_3 : p.END_VOXEL_1) - first + 1;
  std::int32_t start = first;
  RavVolumeFormat format = RavVolumeFormat::RAW;
  for (std::int32_t k = 1; k <= parts; ++k) {
    // Nearly equal parts, the larger ones first.
    const std::int32_t count = slices / parts + (k <= slices % parts ? 1 : 0);
    std::vector<std::string> part = lines;
    const std::string which = "part " + std::to_string(k) + " of " + std::to_string(parts);
    replace_keyword(part, "START_VOXEL_" + along, std::to_string(start), "first slice of " + which);
    replace_keyword(part, "END_VOXEL_" + along, std::to_string(start + count - 1),
                    "last slice of " + which);
    replace_keyword(part, "OUTPUT_FILE", master_part_output(p.OUTPUT_FILE, k),
                    which + ", joined by rav_master --join");
    // The parts are raw slices; the join writes the volume in the run's own format.
    if (rav_volume_format_named(p.OUTPUT_FORMAT, format) && format != RavVolumeFormat::RAW) {
      replace_keyword(part, "OUTPUT_FORMAT", "RAW", "parts are raw; --join writes " +
                                                        p.OUTPUT_FORMAT);
    }
    if (!axis.empty()) {
      replace_keyword(part, "ROTATION_AXIS_POSITION", axis, "found once for every part");
    }
    if (!master_write_file(master_part_file(parameter_file, k), joined(part), false)) return 1;
    message("INFO: " + master_part_file(parameter_file, k) + ": slices " + std::to_string(start) +
            " to " + std::to_string(start + count - 1));
    start += count;
  }
  // The parameter files of an earlier split into more parts would be joined too.
  std::error_code ignored;
  for (std::int32_t k = parts + 1; fs::remove(master_part_file(parameter_file, k), ignored); ++k) {
  }
  return write_scripts(parameter_file, parts) ? 0 : 1;
}
