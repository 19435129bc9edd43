// CORVLIN_TRY: the value of a Result, or an early return of its error from the enclosing function.
#pragma once

#include <utility>

#include "json/result.hpp"

// `CORVLIN_TRY(name, expression);` declares `name` holding the value of the Result that
// `expression` gives, or returns Failure{its error} from the function it is written in.
// NOLINTBEGIN(bugprone-macro-parentheses): `target` names a variable.
#define CORVLIN_TRY(target, expression)                                                \
  auto target##Result_ = (expression);                                                 \
  if (!target##Result_) return ::corvlin::Failure{std::move(target##Result_).error()}; \
  auto target = std::move(target##Result_).value()
// NOLINTEND(bugprone-macro-parentheses)
