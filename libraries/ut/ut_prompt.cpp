// Interactive input (see ut_prompt.h).
#include "ut_prompt.h"

#include <unistd.h>

namespace {
std::string trimmed_answer(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const std::size_t last = line.find_last_not_of(" \t\r\n");
  return line.substr(first, last - first + 1);
}

// One line of IN without its line feed; false at the end of the input.
bool read_line(std::FILE* in, std::string& line) {
  line.clear();
  int c = 0;
  while ((c = std::fgetc(in)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  return c != EOF || !line.empty();
}
}  // namespace

bool ut_interactive() { return ::isatty(STDIN_FILENO) == 1; }

std::string UT_ASK(const UtQuestion& q, std::FILE* in, std::FILE* out, bool& end_of_input) {
  for (;;) {
    std::fprintf(out, "%s [%s]: ", q.question.c_str(), q.default_value.c_str());
    std::fflush(out);
    std::string line;
    if (!read_line(in, line)) {
      std::fprintf(out, "\n");
      end_of_input = true;
      return q.default_value;
    }
    std::string answer = trimmed_answer(line);
    if (answer == "?") {
      std::fprintf(out, "      %s\n", q.help.c_str());
      continue;
    }
    if (answer.empty()) answer = q.default_value;
    const std::string problem = q.problem ? q.problem(answer) : std::string();
    if (problem.empty()) return answer;
    std::fprintf(out, "ERROR: %s (? for help)\n", problem.c_str());
  }
}
