// Status-checked openers above the raw file layer: DAX_FILEOPEN turns a name and a mode word
// into a DAX_FILEOPENC call, DAX_OPENFILE adds "~" translation and optional prompting.
#include <array>
#include <cstdio>
#include <string>

#include "dax.h"
#include "ut.h"

namespace {

struct ModeWord {
  std::string_view word;
  std::int32_t code;
};
constexpr std::array<ModeWord, 4> kModeWords{{{"READ", DAX_MODE_READ},
                                              {"WRITE", DAX_MODE_WRITE},
                                              {"READ_ASCII", DAX_MODE_READ_ASCII},
                                              {"WRITE_ASCII", DAX_MODE_WRITE_ASCII}}};

enum class Answer { NAME, ESCAPE };

// Asks for a file name on standard input. The current name is the default (an empty answer
// keeps it); "?" shows the help text; "\\" or the end of the input leaves.
Answer ask_file_name(std::string& file_name, std::int32_t& status) {
  for (;;) {
    const int current = SLEN(file_name);
    std::string prompt = "FILE NAME";
    if (current > 0) prompt += " [" + file_name.substr(0, static_cast<std::size_t>(current)) + "]";
    UT_WRITENA(prompt + ": ", status);
    std::fflush(stdout);
    std::array<char, 4096> line{};
    if (std::fgets(line.data(), static_cast<int>(line.size()), stdin) == nullptr) {
      return Answer::ESCAPE;
    }
    std::string answer(line.data());
    answer.resize(static_cast<std::size_t>(SLEN(answer)));
    const int start = UT_START(answer);
    if (start > 1) answer.erase(0, static_cast<std::size_t>(start - 1));
    if (answer == "\\\\") return Answer::ESCAPE;
    if (answer == "?") {
      UT_WRITE("Enter Name of file", status);
    } else if (start == -1 || answer.empty()) {
      if (current > 0) return Answer::NAME;
      UT_WRITE("Unacceptable input", status);
    } else {
      file_name = answer;
      return Answer::NAME;
    }
  }
}

}  // namespace

void DAX_FILEOPEN(std::string_view file_name, std::string_view mode, std::int32_t& retstat,
                  std::int32_t& file_id, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DAX_FILEOPEN V0.3 ";
  if (st_bad(status, kRoutine)) return;
  const std::string_view name = file_name.substr(0, static_cast<std::size_t>(SLEN(file_name)));
  // A NUL inside the name would silently open a shorter name.
  if (name.empty() || name.find('\0') != std::string_view::npos) {
    ST_SAVE(kRoutine);
    status = 180033;
    return;
  }
  const std::string_view word = mode.substr(0, static_cast<std::size_t>(SLEN(mode)));
  std::int32_t code = 0;
  for (const ModeWord& entry : kModeWords) {
    if (entry.word == word) code = entry.code;
  }
  if (code == 0) {
    ST_SAVE(kRoutine);
    status = 180017;
    return;
  }
  // The whole name is passed on: cutting a long name short would open another file.
  const std::string c_name(name);
  DAX_FILEOPENC(c_name.c_str(), code, retstat, file_id);
}

void DAX_OPENFILE(bool prompt, std::string_view mode, std::string& file_name,
                  std::int32_t& retstat, std::int32_t& file_id, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine DAX_OPENFILE V0.3 ";
  if (st_bad(status, kRoutine)) return;
  for (;;) {
    if (prompt) {
      const Answer answer = ask_file_name(file_name, status);
      if (st_bad(status, kRoutine)) return;
      if (answer == Answer::ESCAPE) {
        retstat = 1;
        return;
      }
    }
    std::int32_t translation = 0;
    std::string translated;
    UT_TRANS_PATH(file_name, translation, translated, status);
    if (st_bad(status, kRoutine)) return;
    if (translation != 0) {
      retstat = 1;
      return;
    }
    DAX_FILEOPEN(translated, mode, retstat, file_id, status);
    if (st_bad(status, kRoutine)) return;
    if (retstat == 0 || !prompt) return;
    UT_WRITE("Error in opening file, Please retype name", status);
    if (st_bad(status, kRoutine)) return;
  }
}
