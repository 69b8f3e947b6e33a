// Numerical helpers: intensity range of an image region, powers of ten for axis ticks.
#pragma once

#include <cstdint>

// Images are DATA(XMAXDAT, YMAXDAT), first index fastest; regions are 1-based and inclusive.
// The region is cut into whole blocks of XBIN by YBIN elements from its first element on
// (a last partial block is not looked at); MIN and MAX receive the smallest and largest block
// mean. Status (plus 20000): 1 XMAXDAT < 1, 2 YMAXDAT < 1, 5 bad x region, 6 bad y region,
// 17 bad XBIN, 18 bad YBIN.
void NU_REBINMINMAX(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                    std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                    std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin, float& min,
                    float& max, std::int32_t& status);
// The largest block mean only.
void NU_REBINMAX(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin, float& max,
                 std::int32_t& status);
// The smallest block mean only.
void NU_REBINMIN(std::int32_t xmaxdat, std::int32_t ymaxdat, const float* data,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, std::int32_t xbin, std::int32_t ybin, float& min,
                 std::int32_t& status);

// The power of ten m with 1 <= |X| / m < 10. 0 and non-finite values give 1.
double NU_DMULTIPLIER(double x);
