// Interactive input: defaults, help, a wrong answer asked again, the end of the input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ut_prompt.h"

namespace {
// Asks Q with ANSWERS as the input; returns the answer and what was printed in PRINTED.
std::string ask(const UtQuestion& q, std::string answers, std::string& printed, bool& end) {
  std::FILE* in = fmemopen(answers.data(), answers.size(), "r");
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  const std::string answer = UT_ASK(q, in, out, end);
  std::fclose(in);
  std::fclose(out);
  printed.assign(buffer, size);
  std::free(buffer);
  return answer;
}

const UtQuestion kTurn{"Turn", "180", "Half or whole", [](const std::string& t) {
                         return t == "180" || t == "360" ? std::string() : "not 180 or 360";
                       }};

TEST(Prompt, DefaultHelpAndWrongAnswers) {
  std::string printed;
  bool end = false;
  EXPECT_EQ(ask(kTurn, "\n", printed, end), "180");
  EXPECT_EQ(printed, "Turn [180]: ");
  EXPECT_EQ(ask(kTurn, "?\n 270 \n  360  \n", printed, end), "360");
  EXPECT_EQ(printed,
            "Turn [180]:       Half or whole\nTurn [180]: ERROR: not 180 or 360 (? for help)\n"
            "Turn [180]: ");
  EXPECT_FALSE(end);
}

TEST(Prompt, EndOfInputTakesTheDefault) {
  std::string printed;
  bool end = false;
  EXPECT_EQ(ask(kTurn, "270\n", printed, end), "180");
  EXPECT_TRUE(end);
}
}  // namespace
