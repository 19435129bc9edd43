#include "host/drawing/png_diff.hpp"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

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
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A snapshot is far smaller; a picture larger than this is refused before it is decoded, so
// that a small file cannot make the host allocate gigabytes.
constexpr std::uint64_t maxPixels = 64u << 20;

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

// The picture as 32-bit pixels, or null when the bytes are not a PNG Cairo can read.
Surface decode(std::string_view bytes) {
  Reader reader{bytes};
  Surface s(cairo_image_surface_create_from_png_stream(readFrom, &reader));
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  // Pictures without alpha come in as 24-bit; both are compared as 32-bit pixels.
  if (cairo_image_surface_get_format(s.get()) != CAIRO_FORMAT_ARGB32) {
    const int w = cairo_image_surface_get_width(s.get());
    const int h = cairo_image_surface_get_height(s.get());
    Surface converted(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    cairo_t* cr = cairo_create(converted.get());
    cairo_set_source_surface(cr, s.get(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(converted.get());
    return converted;
  }
  cairo_surface_flush(s.get());
  return s;
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

}  // namespace

std::optional<std::array<int, 4>> pixelAt(std::string_view png, int x, int y) {
  if (claimedPixels(png) > maxPixels) return std::nullopt;
  const Surface s = decode(png);
  if (!s || x < 0 || y < 0 || x >= cairo_image_surface_get_width(s.get()) ||
      y >= cairo_image_surface_get_height(s.get())) {
    return std::nullopt;
  }
  const unsigned char* row =
      cairo_image_surface_get_data(s.get()) +
      static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s.get());
  std::uint32_t p = 0;
  std::memcpy(&p, row + 4 * static_cast<std::ptrdiff_t>(x), 4);
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
      return DiffFailure{std::string("the ") + which + " picture claims " +
                         std::to_string(claimedPixels(bytes)) + " pixels, more than 64 Mpixels"};
    }
  }
  Surface old = decode(before);
  if (!old) return DiffFailure{"the old picture is not a readable PNG"};
  Surface now = decode(after);
  if (!now) return DiffFailure{"the new picture is not a readable PNG"};
  const int w = cairo_image_surface_get_width(old.get());
  const int h = cairo_image_surface_get_height(old.get());
  const int nw = cairo_image_surface_get_width(now.get());
  const int nh = cairo_image_surface_get_height(now.get());
  if (w != nw || h != nh) {
    return DiffFailure{"the sizes differ: " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels before, " + std::to_string(nw) + " x " + std::to_string(nh) +
                       " now"};
  }
  Surface marked;
  if (withPicture) marked.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  PixelDiff diff{0, w, h, -1, -1, {}};
  for (int y = 0; y < h; ++y) {
    const std::uint32_t* a = row(old.get(), y);
    const std::uint32_t* b = row(now.get(), y);
    std::uint32_t* out = marked ? row(marked.get(), y) : nullptr;
    for (int x = 0; x < w; ++x) {
      const bool changed = differs(a[x], b[x], tolerance);
      if (changed) {
        ++diff.changed;
        diff.left = std::min(diff.left, x);
        diff.top = std::min(diff.top, y);
        diff.right = std::max(diff.right, x);
        diff.bottom = std::max(diff.bottom, y);
      }
      if (out) {
        // Changed: opaque magenta. The rest: the new pixel at a quarter of its strength, on
        // opaque dark grey.
        const std::uint32_t p = b[x];
        auto dim = [&](int shift) {
          return static_cast<std::uint32_t>(24 + ((p >> shift) & 0xFF) / 4) << shift;
        };
        out[x] = changed ? 0xFFFF00C8u : (0xFF000000u | dim(16) | dim(8) | dim(0));
      }
    }
  }
  if (marked && diff.changed > 0) {
    cairo_surface_mark_dirty(marked.get());
    cairo_surface_write_to_png_stream(marked.get(), appendTo, &diff.picture);
  }
  return diff;
}

}  // namespace corvlin::host::drawing
