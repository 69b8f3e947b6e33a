// Reading ahead: while a pass is reconstructed, the system is asked to read, in the background,
// the parts of the projection files that the next pass will read, so that the next pass finds
// them in memory (the file cache) instead of waiting for the disc or the network.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "rav.h"

class RavReadAhead {
 public:
  RavReadAhead() = default;
  RavReadAhead(const RavReadAhead&) = delete;
  RavReadAhead& operator=(const RavReadAhead&) = delete;
  ~RavReadAhead() { finish(); }

  // Starts asking, on a thread of its own, for the part of each projection file of P that the
  // pass of slices FIRST_SLICE .. LAST_SLICE reads (its rows, or with the rotation axis
  // horizontal all of it) and for its start, where its header lies. Stops asking once the parts
  // asked for would take more than half of the memory the system has available: what is asked
  // for must still be there when the pass comes.
  void start(const ParameterSet& p, std::int32_t FIRST_SLICE, std::int32_t LAST_SLICE,
             std::int32_t& status);
  // Waits until every part has been asked for (the reading itself goes on in the system).
  void finish();

 private:
  std::vector<std::string> files_;  // the projection files, named once
  std::thread thread_;
};
