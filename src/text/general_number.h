// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

namespace korvane::text {

// A floating-point number as printf's %.<precision>G writes it, but without
// the locale: "0.1", "1E+16", "INF". Values and their text functions show
// doubles with 15 digits and singles with 7.
std::string general_number(double value, int precision);

}  // namespace korvane::text
