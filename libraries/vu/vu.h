// Graphics presentation library: opening and closing the graphics, colour tables, plotting.
#pragma once

#include <cstdint>

// Opens the device layer and the graphics window (workstation 1) with all plot defaults.
void VU_OPEN_GRAPHICS(std::int32_t& status);
// Chooses colour table LUT (0..11) quantised to LEVELS levels; takes effect at VU_COLOURS.
void VU_SET_LUTCHOICE(std::int32_t lut, std::int32_t levels, std::int32_t& status);
// Computes the chosen colour table and loads it into the image index range.
void VU_COLOURS(std::int32_t& status);
// Closes the graphics window, any PostScript output and the device layer.
void VU_CLOSE_GRAPHICS(std::int32_t& status);
