#include "host/drawing/png_diff.hpp"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace corvlin::host::drawing {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct Reader {
  std::string_view bytes;
};

cairo_status_t readFrom(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<Reader*>(closure);
  if (reader->bytes.size() < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes.data(), length);
  reader->bytes.remove_prefix(length);
  return CAIRO_STATUS_SUCCESS;
}

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  try {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;
  }
  return CAIRO_STATUS_SUCCESS;
}

// A snapshot is far smaller; a picture larger than this is refused before it is decoded, so
// that a small file cannot make the host allocate gigabytes.
constexpr std::uint64_t maxPixels = 64u << 20;
// Between the old and the new picture when they stand side by side.
constexpr int sideBySideGap = 24;

std::uint32_t bigEndian(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// The pixels a PNG's header claims: its signature, the header chunk's length and name, then its
// width and height. Zero when there is no such header.
std::uint64_t claimedPixels(std::string_view bytes) {
  if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") return 0;
  return std::uint64_t{bigEndian(bytes, 16)} * bigEndian(bytes, 20);
}

std::string sizeText(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// The failure a Cairo status is, for `what` ("the old picture", ...).
DiffFailure failureOf(cairo_status_t status, const std::string& what, const std::string& doing) {
  if (status == CAIRO_STATUS_NO_MEMORY) {
    return {DiffFailure::Kind::outOfMemory, "out of memory " + doing + " " + what};
  }
  // Only a decoding can meet a picture that is not one; the rest is named as it is.
  const std::string reason = cairo_status_to_string(status);
  if (doing != "decoding") {
    return {DiffFailure::Kind::unreadable, what + ": " + doing + " failed (" + reason + ")"};
  }
  return {DiffFailure::Kind::unreadable, what + " is not a readable PNG (" + reason + ")"};
}

// The picture as 32-bit pixels with alpha, each picture made on the way checked.
std::variant<Surface, DiffFailure> decode(std::string_view bytes, const std::string& what) {
  Reader reader{bytes};
  Surface s(cairo_image_surface_create_from_png_stream(readFrom, &reader));
  if (cairo_status_t status = cairo_surface_status(s.get())) {
    // Cairo 1.16 reports a PNG it cannot parse as out of memory: only when the pixels the header
    // claims cannot be had is it that.
    const bool headed = claimedPixels(bytes) > 0;
    const int w = headed ? static_cast<int>(bigEndian(bytes, 16) & 0x7FFFFFFF) : 0;
    const int h = headed ? static_cast<int>(bigEndian(bytes, 20) & 0x7FFFFFFF) : 0;
    if (status == CAIRO_STATUS_NO_MEMORY) {
      if (!headed) {
        return DiffFailure{DiffFailure::Kind::unreadable,
                           what + " is not a readable PNG (it does not begin as a PNG does)"};
      }
      const Surface probe(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
      status = cairo_surface_status(probe.get());
      if (status == CAIRO_STATUS_SUCCESS) {
        return DiffFailure{DiffFailure::Kind::unreadable,
                           what + " is not a readable PNG (its data is damaged)"};
      }
    }
    return failureOf(status,
                     status == CAIRO_STATUS_NO_MEMORY ? what + " (" + sizeText(w, h) + ")" : what,
                     "decoding");
  }
  if (cairo_image_surface_get_format(s.get()) == CAIRO_FORMAT_ARGB32) {
    cairo_surface_flush(s.get());
    return s;
  }
  // Pictures without alpha come in as 24-bit; both are compared as 32-bit pixels.
  const int w = cairo_image_surface_get_width(s.get());
  const int h = cairo_image_surface_get_height(s.get());
  Surface converted(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  cairo_status_t status = cairo_surface_status(converted.get());
  if (status == CAIRO_STATUS_SUCCESS) {
    cairo_t* cr = cairo_create(converted.get());
    cairo_set_source_surface(cr, s.get(), 0, 0);
    cairo_paint(cr);
    status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_flush(converted.get());
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    return failureOf(status, what + " (" + sizeText(w, h) + ")", "converting");
  }
  return converted;
}

bool differs(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int x = static_cast<int>((a >> shift) & 0xFF);
    const int y = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(x - y) > tolerance) return true;
  }
  return false;
}

std::uint32_t* row(cairo_surface_t* s, int y) {
  unsigned char* data = cairo_image_surface_get_data(s);
  return reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) *
                                                     cairo_image_surface_get_stride(s));
}

constexpr std::uint32_t magenta = 0xFFFF00C8u;

// A pixel at a quarter of its strength, on opaque dark grey.
std::uint32_t dimmed(std::uint32_t p) {
  auto dim = [&](int shift) {
    return static_cast<std::uint32_t>(24 + ((p >> shift) & 0xFF) / 4) << shift;
  };
  return 0xFF000000u | dim(16) | dim(8) | dim(0);
}

// A pixel as it is, on the same dark grey (the pixels are premultiplied).
std::uint32_t shown(std::uint32_t p) {
  const std::uint32_t rest = 255 - (p >> 24);
  auto over = [&](int shift) {
    return static_cast<std::uint32_t>(((p >> shift) & 0xFF) + 24 * rest / 255) << shift;
  };
  return 0xFF000000u | over(16) | over(8) | over(0);
}

struct Box {
  int left, top, right, bottom;  // inclusive; empty when right < left
};

void include(PixelDiff& diff, const Box& box) {
  if (box.right < box.left || box.bottom < box.top) return;
  diff.left = std::min(diff.left, box.left);
  diff.top = std::min(diff.top, box.top);
  diff.right = std::max(diff.right, box.right);
  diff.bottom = std::max(diff.bottom, box.bottom);
}

// The pixels that only the first of two pictures has, the second standing over its corner.
void onlyInOne(PixelDiff& diff, int w, int h, int otherW, int otherH) {
  const std::uint64_t common =
      std::uint64_t(std::min(w, otherW)) * std::uint64_t(std::min(h, otherH));
  diff.changed += static_cast<std::size_t>(std::uint64_t(w) * std::uint64_t(h) - common);
  if (w > otherW) include(diff, {otherW, 0, w - 1, h - 1});
  if (h > otherH) include(diff, {0, otherH, w - 1, h - 1});
}

// The change picture of two sizes: old at the left, new at the right, the box outlined on both.
std::variant<Surface, DiffFailure> sideBySide(cairo_surface_t* old, cairo_surface_t* now,
                                              const PixelDiff& diff, int tolerance) {
  const int w = diff.oldWidth, h = diff.oldHeight, nw = diff.newWidth, nh = diff.newHeight;
  const int width = w + sideBySideGap + nw;
  const int height = std::max(h, nh);
  Surface canvas(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (const cairo_status_t status = cairo_surface_status(canvas.get())) {
    return failureOf(status, "the picture of the change (" + sizeText(width, height) + ")",
                     "drawing");
  }
  cairo_surface_flush(canvas.get());
  for (int y = 0; y < height; ++y) {
    std::uint32_t* out = row(canvas.get(), y);
    std::fill(out, out + width, 0xFFFFFFFFu);
    const std::uint32_t* a = y < h ? row(old, y) : nullptr;
    const std::uint32_t* b = y < nh ? row(now, y) : nullptr;
    for (int x = 0; a && x < w; ++x) {
      const bool shared = b && x < nw;
      out[x] = !shared ? shown(a[x]) : differs(a[x], b[x], tolerance) ? magenta : dimmed(a[x]);
    }
    for (int x = 0; b && x < nw; ++x) {
      const bool shared = a && x < w;
      out[w + sideBySideGap + x] = !shared                          ? shown(b[x])
                                   : differs(a[x], b[x], tolerance) ? magenta
                                                                    : dimmed(b[x]);
    }
  }
  cairo_surface_mark_dirty(canvas.get());
  cairo_t* cr = cairo_create(canvas.get());
  cairo_set_source_rgb(cr, 1.0, 0.0, 200.0 / 255);
  cairo_set_line_width(cr, 2);
  for (const auto& [offset, columnWidth] : {std::pair{0, w}, std::pair{w + sideBySideGap, nw}}) {
    cairo_save(cr);
    cairo_rectangle(cr, offset, 0, columnWidth, height);
    cairo_clip(cr);
    cairo_rectangle(cr, offset + diff.left + 1, diff.top + 1,
                    std::max(0, diff.right - diff.left - 1),
                    std::max(0, diff.bottom - diff.top - 1));
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status != CAIRO_STATUS_SUCCESS) {
    return failureOf(status, "the picture of the change", "drawing");
  }
  return canvas;
}

// The change picture of one size: the new one dimmed, the changed pixels in magenta.
std::variant<Surface, DiffFailure> marked(cairo_surface_t* old, cairo_surface_t* now,
                                          const PixelDiff& diff, int tolerance) {
  const int w = diff.newWidth, h = diff.newHeight;
  Surface out(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  if (const cairo_status_t status = cairo_surface_status(out.get())) {
    return failureOf(status, "the picture of the change (" + sizeText(w, h) + ")", "drawing");
  }
  cairo_surface_flush(out.get());
  for (int y = 0; y < h; ++y) {
    const std::uint32_t* a = row(old, y);
    const std::uint32_t* b = row(now, y);
    std::uint32_t* o = row(out.get(), y);
    for (int x = 0; x < w; ++x) o[x] = differs(a[x], b[x], tolerance) ? magenta : dimmed(b[x]);
  }
  cairo_surface_mark_dirty(out.get());
  return out;
}

}  // namespace

std::optional<std::array<int, 4>> pixelAt(std::string_view png, int x, int y) {
  if (claimedPixels(png) > maxPixels) return std::nullopt;
  auto decoded = decode(png, "the picture");
  auto* s = std::get_if<Surface>(&decoded);
  if (!s || x < 0 || y < 0 || x >= cairo_image_surface_get_width(s->get()) ||
      y >= cairo_image_surface_get_height(s->get())) {
    return std::nullopt;
  }
  std::uint32_t p = row(s->get(), y)[x];
  const int a = static_cast<int>(p >> 24);
  auto channel = [&](int shift) {
    const int c = static_cast<int>((p >> shift) & 0xFF);
    return a == 0 ? 0 : (c * 255 + a / 2) / a;
  };
  return std::array<int, 4>{channel(16), channel(8), channel(0), a};
}

std::variant<PixelDiff, DiffFailure> comparePng(std::string_view before, std::string_view after,
                                                int tolerance, bool withPicture) {
  for (const auto& [bytes, which] : {std::pair{before, "old"}, std::pair{after, "new"}}) {
    if (claimedPixels(bytes) > maxPixels) {
      return DiffFailure{DiffFailure::Kind::tooLarge, std::string("the ") + which +
                                                          " picture claims " +
                                                          std::to_string(claimedPixels(bytes)) +
                                                          " pixels, more than 64 Mpixels"};
    }
  }
  auto decodedOld = decode(before, "the old picture");
  if (auto* failure = std::get_if<DiffFailure>(&decodedOld)) return std::move(*failure);
  auto decodedNew = decode(after, "the new picture");
  if (auto* failure = std::get_if<DiffFailure>(&decodedNew)) return std::move(*failure);
  cairo_surface_t* old = std::get<Surface>(decodedOld).get();
  cairo_surface_t* now = std::get<Surface>(decodedNew).get();

  PixelDiff diff;
  diff.oldWidth = cairo_image_surface_get_width(old);
  diff.oldHeight = cairo_image_surface_get_height(old);
  diff.newWidth = cairo_image_surface_get_width(now);
  diff.newHeight = cairo_image_surface_get_height(now);
  diff.left = std::max(diff.oldWidth, diff.newWidth);
  diff.top = std::max(diff.oldHeight, diff.newHeight);
  diff.right = -1;
  diff.bottom = -1;
  // Only where both have pixels are they compared; the rest changed.
  const int w = std::min(diff.oldWidth, diff.newWidth);
  const int h = std::min(diff.oldHeight, diff.newHeight);
  for (int y = 0; y < h; ++y) {
    const std::uint32_t* a = row(old, y);
    const std::uint32_t* b = row(now, y);
    for (int x = 0; x < w; ++x) {
      if (!differs(a[x], b[x], tolerance)) continue;
      ++diff.changed;
      include(diff, {x, y, x, y});
    }
  }
  onlyInOne(diff, diff.oldWidth, diff.oldHeight, diff.newWidth, diff.newHeight);
  onlyInOne(diff, diff.newWidth, diff.newHeight, diff.oldWidth, diff.oldHeight);
  if (!withPicture || diff.changed == 0) return diff;

  auto picture = diff.sizeChanged() ? sideBySide(old, now, diff, tolerance)
                                    : marked(old, now, diff, tolerance);
  if (auto* failure = std::get_if<DiffFailure>(&picture)) return std::move(*failure);
  cairo_surface_t* drawn = std::get<Surface>(picture).get();
  if (const cairo_status_t status =
          cairo_surface_write_to_png_stream(drawn, appendTo, &diff.picture)) {
    return failureOf(status, "the picture of the change", "writing");
  }
  return diff;
}

}  // namespace corvlin::host::drawing
