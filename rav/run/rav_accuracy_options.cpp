// The core's filter and ring-removal options from the parameters, and the lines that name them.
#include <algorithm>
#include <cstdio>
#include <string>

#include "rav_accuracy.h"
#include "ut.h"

int rav_word_index(std::span<const std::string_view> words, std::string_view word) {
  const auto found = std::find(words.begin(), words.end(), word);
  return found == words.end() ? -1 : static_cast<int>(found - words.begin());
}

std::string rav_words_text(std::span<const std::string_view> words) {
  std::string text;
  for (const std::string_view word : words) text.append(text.empty() ? "" : ", ").append(word);
  return text;
}

RavFilterOptions rav_filter_options(const ParameterSet& p) {
  RavFilterOptions options;
  const int window = rav_word_index(RAV_FILTER_WORDS, p.FILTER);
  const int padding = rav_word_index(RAV_PADDING_WORDS, p.PADDING);
  if (window >= 0) options.window = static_cast<RavFilterOptions::Window>(window);
  if (padding >= 0) options.padding = static_cast<RavFilterOptions::Padding>(padding);
  options.cutoff = p.FILTER_CUTOFF;
  return options;
}

RavRingOptions rav_ring_options(const ParameterSet& p) {
  RavRingOptions options;
  const int method = rav_word_index(RAV_RING_WORDS, p.RING_REMOVAL);
  if (method >= 0) options.method = static_cast<RavRingOptions::Method>(method);
  options.strength = p.RING_STRENGTH;
  return options;
}

void rav_report_filter(const RavFilterOptions& filter, const RavRingOptions& rings,
                       std::int32_t& status) {
  if (!filter.is_default()) {
    char cutoff[32];
    std::snprintf(cutoff, sizeof cutoff, "%g", static_cast<double>(filter.cutoff));
    UT_WRITE("INFO: Filter " + std::string(RAV_FILTER_WORDS[filter.window]) + ", cutoff " +
                 cutoff + " of the Nyquist frequency, padding " +
                 std::string(RAV_PADDING_WORDS[filter.padding]),
             status);
  }
  if (rings.method != RavRingOptions::NONE) {
    UT_WRITE("INFO: Ring removal " + std::string(RAV_RING_WORDS[rings.method]) +
                 " of stripes up to " + std::to_string(rings.strength) + " bins wide",
             status);
  }
}
