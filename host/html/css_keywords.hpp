// CSS keywords for the toolkit's alignments and layout directions.
#pragma once

#include <string_view>

#include "toolkit/view.hpp"

namespace corvlin::host::html {

// Flex and grid keywords; start and end follow the direction in force, as leading and
// trailing do.
inline std::string_view flexPosition(ui::HorizontalAlignment a) {
  switch (a) {
    case ui::HorizontalAlignment::leading:
      return "flex-start";
    case ui::HorizontalAlignment::center:
      return "center";
    case ui::HorizontalAlignment::trailing:
      return "flex-end";
  }
  return "center";
}
inline std::string_view flexPosition(ui::VerticalAlignment a) {
  switch (a) {
    case ui::VerticalAlignment::top:
      return "flex-start";
    case ui::VerticalAlignment::center:
      return "center";
    case ui::VerticalAlignment::bottom:
      return "flex-end";
  }
  return "center";
}
inline std::string_view gridPosition(ui::HorizontalAlignment a) {
  switch (a) {
    case ui::HorizontalAlignment::leading:
      return "start";
    case ui::HorizontalAlignment::center:
      return "center";
    case ui::HorizontalAlignment::trailing:
      return "end";
  }
  return "center";
}
inline std::string_view gridPosition(ui::VerticalAlignment a) {
  switch (a) {
    case ui::VerticalAlignment::top:
      return "start";
    case ui::VerticalAlignment::center:
      return "center";
    case ui::VerticalAlignment::bottom:
      return "end";
  }
  return "center";
}

inline std::string_view dirAttribute(ui::LayoutDirection direction) {
  switch (direction) {
    case ui::LayoutDirection::leftToRight:
      return "ltr";
    case ui::LayoutDirection::rightToLeft:
      return "rtl";
  }
  return "ltr";
}

}  // namespace corvlin::host::html
