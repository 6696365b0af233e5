// SPDX-License-Identifier: Apache-2.0
// Access's numeric functions: Round with halves to even, Int and Fix, Sgn,
// Abs, Sqr, Exp, Log, the angle functions, Hex and Oct.
#include "data/access/access_functions.h"
#include "data/access/function_table.h"
#include "data/access/function_values.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace korvane::data::access {
namespace {

void fn_round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::int64_t decimals = 0;
    if (argc > 1) {
        auto n = whole_number(argv[1]);
        if (!n || *n < 0 || *n > 15) return invalid_call(ctx);
        decimals = *n;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    sqlite3_result_double(ctx, round_half_even(*d, static_cast<int>(decimals)));
}

enum class numeric { int_, fix, sgn, abs, sqr, exp, log, sin, cos, tan, atn };

// Int, Fix, Sgn and Abs keep Null; Sqr, Exp, Log and the angles take a
// Double, so Null is an error for them.
template <numeric f>
void fn_numeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    constexpr bool keeps_null = f == numeric::int_ || f == numeric::fix || f == numeric::sgn || f == numeric::abs;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return keeps_null ? sqlite3_result_null(ctx) : invalid_null(ctx);
    const bool whole = sqlite3_value_type(argv[0]) == SQLITE_INTEGER;
    if (whole && (f == numeric::int_ || f == numeric::fix)) return sqlite3_result_value(ctx, argv[0]);
    if (whole && f == numeric::abs && sqlite3_value_int64(argv[0]) != INT64_MIN) {
        return sqlite3_result_int64(ctx, std::llabs(sqlite3_value_int64(argv[0])));
    }
    auto d = number_of(argv[0]);
    if (!d) return type_mismatch(ctx);
    const double x = *d;
    switch (f) {
        case numeric::int_: return sqlite3_result_double(ctx, std::floor(x));
        case numeric::fix: return sqlite3_result_double(ctx, std::trunc(x));
        case numeric::sgn: return sqlite3_result_int(ctx, x > 0 ? 1 : x < 0 ? -1 : 0);
        case numeric::abs: return sqlite3_result_double(ctx, std::fabs(x));
        case numeric::sqr: return x < 0 ? invalid_call(ctx) : sqlite3_result_double(ctx, std::sqrt(x));
        case numeric::log: return x <= 0 ? invalid_call(ctx) : sqlite3_result_double(ctx, std::log(x));
        case numeric::exp: {
            const double r = std::exp(x);
            return std::isfinite(r) ? sqlite3_result_double(ctx, r) : sqlite3_result_error(ctx, "Overflow.", -1);
        }
        case numeric::sin: return sqlite3_result_double(ctx, std::sin(x));
        case numeric::cos: return sqlite3_result_double(ctx, std::cos(x));
        case numeric::tan: return sqlite3_result_double(ctx, std::tan(x));
        case numeric::atn: return sqlite3_result_double(ctx, std::atan(x));
    }
}

// Hex and Oct of a whole number; a negative one as its 16-bit form when it
// fits an Integer, else its 32-bit form.
template <int base>
void fn_radix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = whole_number(argv[0]);
    if (!n) return type_mismatch(ctx);
    if (*n < INT32_MIN || *n > INT32_MAX) return sqlite3_result_error(ctx, "Overflow.", -1);
    std::uint32_t v = *n >= -32768 && *n < 0 ? static_cast<std::uint16_t>(*n) : static_cast<std::uint32_t>(*n);
    std::string out;
    do {
        out.insert(out.begin(), "0123456789ABCDEF"[v % base]);
        v /= base;
    } while (v != 0);
    result_text(ctx, out);
}

}  // namespace

double round_half_even(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    const double low = std::floor(scaled);
    const double diff = scaled - low;
    // Values like 2.675 are stored a hair off their decimal form; treat a
    // difference within rounding noise of one half as an exact half.
    const double noise = 1e-9 * std::max(1.0, std::fabs(scaled));
    double r;
    if (std::fabs(diff - 0.5) <= noise) {
        r = std::fmod(low, 2.0) == 0 ? low : low + 1;
    } else {
        r = std::round(scaled);
    }
    return r / scale;
}

std::span<const scalar_def> number_functions() {
    static const scalar_def functions[] = {
        {"acc_round", 1, 2, fn_round},
        {"acc_int", 1, 1, fn_numeric<numeric::int_>},
        {"acc_fix", 1, 1, fn_numeric<numeric::fix>},
        {"acc_sgn", 1, 1, fn_numeric<numeric::sgn>},
        {"acc_sqr", 1, 1, fn_numeric<numeric::sqr>},
        {"acc_abs", 1, 1, fn_numeric<numeric::abs>},
        {"acc_exp", 1, 1, fn_numeric<numeric::exp>},
        {"acc_log", 1, 1, fn_numeric<numeric::log>},
        {"acc_sin", 1, 1, fn_numeric<numeric::sin>},
        {"acc_cos", 1, 1, fn_numeric<numeric::cos>},
        {"acc_tan", 1, 1, fn_numeric<numeric::tan>},
        {"acc_atn", 1, 1, fn_numeric<numeric::atn>},
        {"acc_hex", 1, 1, fn_radix<16>},
        {"acc_oct", 1, 1, fn_radix<8>},
    };
    return functions;
}

}  // namespace korvane::data::access
