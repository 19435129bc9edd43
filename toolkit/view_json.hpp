// The JSON form of view descriptions and presentations, written and read back.
#pragma once

#include <simdjson.h>

#include <string>

#include "json/error.hpp"
#include "json/result.hpp"
#include "json/writer.hpp"
#include "toolkit/view.hpp"

namespace corvlin::ui {

// One line of compact JSON; member order is fixed, numbers are shortest round-trip.
// A non-finite number (never produced by the views) is written as null, which the reader refuses;
// the one exception is a flexible frame's infinite maxWidth, written as "infinity".
std::string toJson(const View& view);
std::string toJson(const Presentations& presentations);

// The same form written as the next value of `writer`, so that it can sit inside a larger
// document without being copied into it.
void writeJson(json::Writer& writer, const Presentations& presentations);

// Reading the form back, on the same keyed containers as the records: a fault is a
// DecodingError of the same four kinds, its coding path e.g.
// ["dynamicIsland","expanded",0,"content","children",1,"type"] for an unknown view type.
// A missing or null pauseTime or font weight reads as none; members other than the documented
// ones are ignored.
Result<View, DecodingError> viewFromJson(simdjson::dom::element element);
Result<Presentations, DecodingError> presentationsFromJson(simdjson::dom::element element);

}  // namespace corvlin::ui
