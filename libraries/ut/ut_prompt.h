// Interactive input: one question at a time on a terminal, with its default in brackets, a
// one-line help on "?", and a wrong answer asked again with the reason.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

struct UtQuestion {
  std::string question;       // "Angle the scan covers, in degrees"
  std::string default_value;  // taken on an empty answer (shown in brackets)
  std::string help;           // printed on "?"
  // What is wrong with an answer, in one line, or an empty text when it is accepted. Unset:
  // every answer is.
  std::function<std::string(const std::string&)> problem;
};

// Asks QUESTION on OUT and reads answers from IN until one is accepted; returns it (blanks at
// either end removed). An empty answer takes the default (checked like any other answer); "?"
// prints the help and asks again; an answer that PROBLEM refuses is reported with an "ERROR: "
// line and asked again. At the end of the input the default is taken and END_OF_INPUT set, so
// that the caller stops asking.
std::string UT_ASK(const UtQuestion& question, std::FILE* in, std::FILE* out, bool& end_of_input);

// True when standard input is a terminal (there is somebody to ask).
bool ut_interactive();
