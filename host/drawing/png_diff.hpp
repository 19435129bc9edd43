// Comparing two PNG pictures pixel by pixel, and a picture of what changed.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace corvlin::host::drawing {

// What changed from one picture to the other. Both stand with their top left corners at (0, 0):
// where both have a pixel, the pixel changed when a channel differs by more than the tolerance;
// a pixel that only one of them has (the other is narrower or shorter) changed. `changed` counts
// the pixels that changed, and the box (corners inclusive) is the smallest that holds them; no
// changed pixel: `changed` is 0 and the box is meaningless.
struct PixelDiff {
  int oldWidth = 0;
  int oldHeight = 0;
  int newWidth = 0;
  int newHeight = 0;
  std::size_t changed = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  // The change as a PNG, when asked for and something changed. Pictures of one size: the new one
  // dimmed, the changed pixels in magenta. Of two sizes: the old one at the left and the new one
  // at the right on white, each dimmed with the changed pixels in magenta, except what only one
  // of them has, shown as it is; the changed box outlined in magenta on both.
  std::string picture;

  bool sizeChanged() const { return oldWidth != newWidth || oldHeight != newHeight; }
};

// Why two pictures cannot be compared.
struct DiffFailure {
  enum class Kind {
    unreadable,   // not a PNG that can be decoded
    tooLarge,     // claims more pixels than a snapshot could have
    outOfMemory,  // there was not memory enough to decode, convert or draw it
  };
  Kind kind = Kind::unreadable;
  std::string message;  // names the picture, "the old picture" or "the new picture"
};

// Compares the PNG `before` with `after`; a channel that differs by `tolerance` or less (0 to
// 255) counts as the same. Every picture made on the way is checked: a failure says which
// picture and why, and running out of memory is never a match.
std::variant<PixelDiff, DiffFailure> comparePng(std::string_view before, std::string_view after,
                                                int tolerance, bool withPicture);

// The red, green, blue and alpha (0 to 255, not premultiplied) of the pixel at (x, y) of a PNG;
// absent when the bytes are not a PNG or the pixel lies outside it.
std::optional<std::array<int, 4>> pixelAt(std::string_view png, int x, int y);

}  // namespace corvlin::host::drawing
