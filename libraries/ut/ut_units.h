// Inside the support library: the table of text files open on units 1..99.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr std::int32_t kUtFirstUnit = 1;
constexpr std::int32_t kUtLastUnit = 99;

// The stream open on UNIT, or null when none is (or UNIT is out of range).
std::FILE* ut_unit_stream(std::int32_t unit);
