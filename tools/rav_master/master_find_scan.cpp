// The scan of a folder (or of a pattern of file names): numbered series grouped by the text
// before and after the number, the projections told from background and flat-field images by
// their names, every image's header read and compared.
#include <glob.h>

#include <algorithm>
#include <climits>
#include <cctype>
#include <filesystem>
#include <map>
#include <numeric>

#include "master.h"
#include "rav_in_tiff.h"
#include "rav_input_output.h"
#include "ut.h"

namespace fs = std::filesystem;

namespace {
void error(const std::string& text) {
  std::int32_t status = ST_OK;
  UT_WRITE("ERROR: " + text, status);
}
void info(const std::string& text) {
  std::int32_t status = ST_OK;
  UT_WRITE("INFO: " + text, status);
}

// Words of a name in lower case, split at everything that is not a letter.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> result(1);
  for (const char c : text) {
    if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
      result.back().push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    } else if (!result.back().empty()) {
      result.emplace_back();
    }
  }
  if (result.back().empty()) result.pop_back();
  return result;
}

enum class Kind { PROJECTION, BACKGROUND, FLAT, OTHER };

// What a file name (without its folder) says it holds.
Kind kind_of(const std::string& base) {
  static const char* const kBackground[] = {"dark", "background", "bg", "bkg"};
  static const char* const kFlat[] = {"flat", "white", "ff", "open", "bright"};
  static const char* const kNotImages[] = {".png", ".jpg", ".jpeg", ".par", ".info", ".txt",
                                           ".log", ".sh",  ".raw",  ".md",  ".py",   ".csv",
                                           ".json", ".lock", ".bak", ".mhd"};
  std::string ext = fs::path(base).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* e : kNotImages) {
    if (ext == e) return Kind::OTHER;
  }
  // Hidden files, backups, the worker's sinograms, pictures, temporary files, volumes and parts.
  if (base.empty() || base[0] == '.' || base.back() == '~' || base.rfind("sino_", 0) == 0 ||
      base.rfind("rav_plot_", 0) == 0 || base.find(".tmp-") != std::string::npos ||
      base.find(".raw.") != std::string::npos) {

    return Kind::OTHER;
  }
  for (const std::string& w : words(base)) {
    for (const char* key : kBackground) {
      if (w.rfind(key, 0) == 0) return Kind::BACKGROUND;
    }
    for (const char* key : kFlat) {
      if (w.rfind(key, 0) == 0) return Kind::FLAT;
    }
  }
  return Kind::PROJECTION;
}

// A file name split at the last run of digits of its base name.
struct Numbered {
  std::string name, prefix, digits, postfix;
};
bool split_number(const std::string& name, Numbered& n) {
  const std::size_t slash = name.rfind('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t last = name.find_last_of("0123456789");
  if (last == std::string::npos || last < base) return false;
  std::size_t first = last;
  while (first > base && std::isdigit(static_cast<unsigned char>(name[first - 1])) != 0) --first;
  n = {name, name.substr(0, first), name.substr(first, last - first + 1), name.substr(last + 1)};
  return n.digits.size() <= 9;
}

// Files of one series: the same text before and after the number.
using Groups = std::map<std::pair<std::string, std::string>, std::vector<Numbered>>;

// The series of FILES (one group). False after an "ERROR: " line: numbers written with
// different lengths and leading zeros, or a gap.
bool make_series(const std::vector<Numbered>& files, MasterSeries& s) {
  std::vector<std::int32_t> numbers;
  std::size_t shortest = 99, longest = 0;
  bool zeros = false;
  for (const Numbered& f : files) {
    numbers.push_back(std::stoi(f.digits));
    shortest = std::min(shortest, f.digits.size());
    longest = std::max(longest, f.digits.size());
    zeros = zeros || (f.digits.size() > 1 && f.digits[0] == '0');
  }
  s.prefix = files.front().prefix;
  s.postfix = files.front().postfix;
  if (shortest != longest && zeros) {
    error("The numbers of " + s.prefix + "..." + s.postfix +
          " are written with leading zeros and different lengths (" + files.front().name +
          "): name them all alike");
    return false;
  }
  s.length_varies = shortest != longest;
  s.length = s.length_varies ? 0 : static_cast<std::int32_t>(longest);
  std::sort(numbers.begin(), numbers.end());
  s.first = numbers.front();
  s.last = numbers.back();
  s.interval = 0;
  for (std::size_t k = 1; k < numbers.size(); ++k) {
    s.interval = std::gcd(s.interval, numbers[k] - numbers[k - 1]);
  }
  if (s.interval == 0) s.interval = 1;
  for (std::int32_t n = s.first, k = 0; n <= s.last; n += s.interval) {
    if (numbers[static_cast<std::size_t>(k)] == n) {
      ++k;
      continue;
    }
    error("The series " + s.name(s.first) + " to " + s.name(s.last) + " has a gap: " +
          s.name(n) + " is missing");
    return false;
  }
  return true;
}

// Every file of SOURCE and of its folder: a folder, a pattern (with * ? [), or a prefix.
void list_files(const std::string& source, std::vector<std::string>& candidates,
                std::vector<std::string>& folder_files, std::string& folder) {
  std::error_code ignored;
  const bool is_folder = fs::is_directory(source, ignored);
  folder = is_folder ? source : fs::path(source).parent_path().string();
  if (folder.empty()) folder = ".";
  folder = fs::absolute(folder, ignored).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    if (entry.is_regular_file(ignored)) folder_files.push_back(entry.path().string());
  }
  std::sort(folder_files.begin(), folder_files.end());
  if (is_folder) {
    candidates = folder_files;
    return;
  }
  const bool pattern = source.find_first_of("*?[") != std::string::npos;
  const std::string base = folder + "/" + fs::path(source).filename().string();
  glob_t found{};
  if (::glob((pattern ? base : base + "*").c_str(), 0, nullptr, &found) == 0) {
    for (std::size_t k = 0; k < found.gl_pathc; ++k) candidates.emplace_back(found.gl_pathv[k]);
  }
  ::globfree(&found);
}

Groups group_files(const std::vector<std::string>& names, Kind wanted, bool any_kind,
                   std::vector<std::string>* single) {
  Groups groups;
  for (const std::string& name : names) {
    const Kind kind = kind_of(fs::path(name).filename().string());
    if (kind == Kind::OTHER || (!any_kind && kind != wanted)) continue;
    Numbered n;
    if (split_number(name, n)) {
      groups[{n.prefix, n.postfix}].push_back(n);
    } else if (single != nullptr) {
      single->push_back(name);
    }
  }
  return groups;
}

// The largest group of GROUPS with at least MIN files (or the one whose prefix is PREFIX).
const std::vector<Numbered>* largest(const Groups& groups, std::size_t min,
                                     const std::string& prefix) {
  const std::vector<Numbered>* best = nullptr;
  for (const auto& [key, files] : groups) {
    const bool named = !prefix.empty() && (key.first == prefix ||
                                           fs::path(key.first).filename() == prefix);
    if (!prefix.empty() && !named) continue;
    if (files.size() >= min && (best == nullptr || files.size() > best->size())) best = &files;
  }
  return best;
}
}  // namespace

std::string MasterSeries::name(std::int32_t number) const {
  std::string name;
  bool overflow = false;
  std::int32_t status = ST_OK;
  UT_FILENAME(prefix, number, !length_varies, length, postfix, overflow, name, status);
  return name;
}

namespace {
// The projections of SOURCE. False after an "ERROR: " line.
bool find_projections(const MasterOptions& o, const std::vector<std::string>& candidates,
                      const std::string& folder, MasterSeries& series) {
  std::string prefix = o.prefix;
  if (!prefix.empty() && prefix.find('/') == std::string::npos) prefix = folder + "/" + prefix;
  const Groups groups = group_files(candidates, Kind::PROJECTION, !o.prefix.empty(), nullptr);
  const std::vector<Numbered>* files = largest(groups, 2, prefix);
  if (candidates.empty()) {
    error("No file in " + o.source);
    return false;
  }
  if (files == nullptr) {
    error(o.prefix.empty() ? "No numbered series of projection images in " + o.source
                           : "No numbered series " + prefix + "NNNN... in " + folder);
    return false;
  }
  return make_series(*files, series);
}

// The background and flat fields of FOLDER (or of the options).
bool find_corrections(const MasterOptions& o, const std::vector<std::string>& files,
                      MasterScan& scan) {
  std::vector<std::string> single_dark, single_flat;
  const Groups darks = group_files(files, Kind::BACKGROUND, false, &single_dark);
  const Groups flats = group_files(files, Kind::FLAT, false, &single_flat);
  if (o.background.empty()) {
    const std::vector<Numbered>* series = largest(darks, 1, {});
    if (!single_dark.empty()) scan.background = single_dark.front();
    else if (series != nullptr) scan.background = series->front().name;
    if (series != nullptr && single_dark.empty() && series->size() > 1) {
      info("Of " + std::to_string(series->size()) + " background images the first is used: " +
           scan.background + " (--background FILE chooses another)");
    }
  } else if (o.background != "none") {
    scan.background = o.background;
  }
  if (!o.flat.empty()) {
    if (o.flat != "none") scan.flat = o.flat;
    return true;
  }
  const std::vector<Numbered>* series = largest(flats, 2, {});
  if (series != nullptr) {
    MasterSeries s;
    if (!make_series(*series, s)) return false;
    scan.flats = s;
  } else if (!single_flat.empty()) {
    scan.flat = single_flat.front();
  } else if (const std::vector<Numbered>* one = largest(flats, 1, {}); one != nullptr) {
    scan.flat = one->front().name;
  }
  return true;
}

// Every image of the scan: readable, of the projections' size; a series of one pixel type and
// byte order.
bool check_images(MasterScan& scan) {
  std::string problem;
  const MasterSeries& p = scan.projections;
  if (!master_read_header(scan.stack.empty() ? p.name(p.first) : scan.stack, scan.header,
                          problem)) {
    error(problem);
    return false;
  }
  auto agrees = [&](const std::string& name, bool same_type) {
    MasterImageHeader h;
    if (!master_read_header(name, h, problem)) {
      error(problem);
      return false;
    }
    const MasterImageHeader& first = scan.header;
    if (h.DIM_1 != first.DIM_1 || h.DIM_2 != first.DIM_2) {
      error(name + " has " + std::to_string(h.DIM_1) + " x " + std::to_string(h.DIM_2) +
            " pixels, " + p.name(p.first) + " " + std::to_string(first.DIM_1) + " x " +
            std::to_string(first.DIM_2));
      return false;
    }
    if (same_type && (h.pixel_type != first.pixel_type || h.big_endian != first.big_endian)) {
      error(name + " holds " + h.pixel_type + " pixels " + (h.big_endian ? "big" : "little") +
            "-endian, " + p.name(p.first) + " " + first.pixel_type + " " +
            (first.big_endian ? "big" : "little") + "-endian");
      return false;
    }
    return true;
  };
  for (std::int32_t n = p.first; scan.stack.empty() && n <= p.last; n += p.interval) {
    if (!agrees(p.name(n), true)) return false;
  }
  if (!scan.background.empty() && !agrees(scan.background, false)) return false;
  if (!scan.flat.empty() && !agrees(scan.flat, false)) return false;
  if (scan.flats) {
    for (std::int32_t n = scan.flats->first; n <= scan.flats->last; n += scan.flats->interval) {
      if (!agrees(scan.flats->name(n), true)) return false;
    }
  }
  return true;
}

// The pages of a TIFF file FILE as the projections (more than one page: a stack), in SCAN.
bool tiff_stack(const std::string& file, MasterScan& scan) {
  std::int32_t retstat = 0, status = ST_OK;
  const std::int64_t pages = rav_tiff_pages(file, retstat, status);
  if (retstat != 0 || status != ST_OK || pages < 2 || pages > INT32_MAX) return false;
  scan.stack = file;
  scan.projections = MasterSeries{file, "", 0, static_cast<std::int32_t>(pages - 1), 1, false, 0};
  return true;
}
}  // namespace

bool master_find_scan(const MasterOptions& o, MasterScan& scan) {
  // One file may hold a whole scan (an HDF5 file, a TIFF stack); its format by its name, as the
  // worker takes it.
  std::error_code ignored;
  const bool one_file = fs::is_regular_file(o.source, ignored);
  const std::string file = fs::absolute(o.source, ignored).lexically_normal().string();
  const RavImageFormat format = rav_input_format(ParameterSet{}, o.source);
  if (one_file && format == RavImageFormat::HDF5) return master_find_hdf5_scan(o, file, scan);
  std::vector<std::string> candidates, folder_files;
  std::string folder;
  list_files(o.source, candidates, folder_files, folder);
  if (!(one_file && format == RavImageFormat::TIFF && tiff_stack(file, scan)) &&
      !find_projections(o, candidates, folder, scan.projections)) {
    return false;
  }
  if (!find_corrections(o, folder_files, scan)) return false;
  if (!check_images(scan)) return false;
  const MasterSeries& p = scan.projections;
  const std::string named = scan.stack.empty() ? p.name(p.first) + " to " + p.name(p.last)
                                               : scan.stack + ", pages 0 to " +
                                                     std::to_string(p.last);
  info("Projections: " + named + " (" +
       std::to_string(p.count()) + " images of " + std::to_string(scan.header.DIM_1) + " x " +
       std::to_string(scan.header.DIM_2) + " " + scan.header.pixel_type + " pixels, " +
       (scan.header.big_endian ? "big" : "little") + "-endian)");
  info("Background: " + (scan.background.empty() ? std::string("none") : scan.background));
  if (scan.flats) {
    info("Flat fields: " + scan.flats->name(scan.flats->first) + " to " +
         scan.flats->name(scan.flats->last) + " (" + std::to_string(scan.flats->count()) +
         ", changing along the scan)");
  } else {
    info("Flat field: " + (scan.flat.empty() ? std::string("none") : scan.flat));
  }
  return true;
}
