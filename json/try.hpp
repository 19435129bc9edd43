// CORVLIN_TRY: the value of a Result, or an early return of its error from the enclosing function;
// CORVLIN_TRY_WRITE: an early return of a write's error (an EncodeStatus that holds one).
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

// `CORVLIN_TRY_WRITE(expression);` returns the error that `expression` (an EncodeStatus, or
// anything that converts to bool when it holds an error) gives, from the function it is written
// in, and goes on when it gives none.
#define CORVLIN_TRY_WRITE(expression) \
  if (auto error_ = (expression)) return error_
