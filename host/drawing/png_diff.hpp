// Comparing two PNG pictures pixel by pixel, and a picture of what changed.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace corvlin::host::drawing {

// Pictures with the same size: how many pixels changed, and the smallest box holding them
// (corners inclusive). No changed pixel: `changed` is 0 and the box is meaningless.
struct PixelDiff {
  std::size_t changed = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  std::string picture;  // the change as a PNG, when asked for: the new picture dimmed, the
                        // changed pixels in magenta
};

// Why two pictures cannot be compared.
struct DiffFailure {
  std::string message;
};

// Compares the PNG `before` with `after`; a channel that differs by `tolerance` or less (0 to
// 255) counts as the same. Either is unreadable, or their sizes differ: a failure that says which.
std::variant<PixelDiff, DiffFailure> comparePng(std::string_view before, std::string_view after,
                                                int tolerance, bool withPicture);

// The red, green, blue and alpha (0 to 255, not premultiplied) of the pixel at (x, y) of a PNG;
// absent when the bytes are not a PNG or the pixel lies outside it.
std::optional<std::array<int, 4>> pixelAt(std::string_view png, int x, int y);

}  // namespace corvlin::host::drawing
