// Writing PNG files from 32-bit pixels (the replay tool's screenshots, the demo's generated
// pictures) and from 16-bit texel images. The inverse of CImage32::LoadFromPNG and CImage16::LoadFromPNG16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CImage32;
class CImage16;

// Rgb drops the fourth byte (an XRGB buffer); Rgba keeps it as alpha.
enum class PngChannels { Rgb, Rgba };

// Encodes width × height pixels stored as the bytes blue, green, red, alpha (or unused), rows
// top-down and `stride` bytes apart. Nothing when the arguments are unusable or libpng fails.
std::optional<std::vector<uint8_t>> EncodePNG(const uint8_t* pixels, int width, int height,
                                              size_t stride, PngChannels channels);
std::optional<std::vector<uint8_t>> EncodePNG(const CImage32& image, PngChannels channels);

// A 16-bit greyscale PNG whose samples hold each texel's two bytes in memory order, so that
// CImage16::LoadFromPNG16 gives back the same texels.
std::optional<std::vector<uint8_t>> EncodePNG16(const CImage16& image);

// EncodePNG, then the bytes into the file at a path of this machine (UTF-8, taken as given).
bool SavePNG(const std::string& host_path, const uint8_t* pixels, int width, int height,
             size_t stride, PngChannels channels);
