// Shared check for the distribution and numeric-helper tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "distrib/numeric_helpers.h"

namespace quorvane {

// Runs f, expects an EArgumentError with the given identifier, and checks that
// its message is the identifier's text followed directly by `appended`.
template <typename F>
void ExpectArgumentError(F f, int identifier, const std::string& appended) {
  try {
    f();
    ADD_FAILURE() << "no EArgumentError raised, expected " << identifier;
  } catch (const EArgumentError& e) {
    EXPECT_EQ(e.Identifier(), identifier);
    EXPECT_EQ(std::string(e.what()), ArgumentErrorText(identifier) + appended);
  }
}

}  // namespace quorvane
