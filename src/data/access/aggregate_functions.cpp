// SPDX-License-Identifier: Apache-2.0
// Access aggregates SQLite lacks or answers differently: First, Last,
// StDev, StDevP, Var, VarP, and Sum kept exact over Currency amounts.
#include "data/access/function_table.h"
#include "data/access/function_values.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>

namespace korvane::data::access {
namespace {

struct first_last_state {
    sqlite3_value* value;
    bool seen;
};

template <bool last>
void first_last_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<first_last_state*>(sqlite3_aggregate_context(ctx, sizeof(first_last_state)));
    if (s == nullptr) return sqlite3_result_error_nomem(ctx);
    if (s->seen && !last) return;
    sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(argv[0]);
    s->seen = true;
}

void first_last_final(sqlite3_context* ctx) {
    auto* s = static_cast<first_last_state*>(sqlite3_aggregate_context(ctx, 0));
    if (s == nullptr || s->value == nullptr) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

struct spread_state {
    std::int64_t n;
    double mean, m2;
};

void spread_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<spread_state*>(sqlite3_aggregate_context(ctx, sizeof(spread_state)));
    if (s == nullptr) return sqlite3_result_error_nomem(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    auto x = number_of(argv[0]);
    if (!x) return;
    ++s->n;
    const double delta = *x - s->mean;
    s->mean += delta / static_cast<double>(s->n);
    s->m2 += delta * (*x - s->mean);
}

template <bool population, bool root>
void spread_final(sqlite3_context* ctx) {
    auto* s = static_cast<spread_state*>(sqlite3_aggregate_context(ctx, 0));
    const std::int64_t min_n = population ? 1 : 2;
    if (s == nullptr || s->n < min_n) return sqlite3_result_null(ctx);
    const double var = s->m2 / static_cast<double>(population ? s->n : s->n - 1);
    sqlite3_result_double(ctx, root ? std::sqrt(var) : var);
}

// Sum as Access gives it over Currency: amounts with at most four decimals
// add up in whole ten-thousandths, so 0.1 + 0.2 is 0.3 and a column of
// prices sums to the cent; other values add up as doubles.
struct sum_state {
    std::int64_t integer;      // while every value is an integer
    std::int64_t ten_thousandths;
    double real;
    bool seen, any_real, inexact;
};

void sum_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<sum_state*>(sqlite3_aggregate_context(ctx, sizeof(sum_state)));
    if (s == nullptr) return sqlite3_result_error_nomem(ctx);
    const int type = sqlite3_value_numeric_type(argv[0]);
    if (type == SQLITE_NULL) return;
    s->seen = true;
    if (type == SQLITE_INTEGER && !s->any_real) {
        const std::int64_t v = sqlite3_value_int64(argv[0]);
        if (!__builtin_add_overflow(s->integer, v, &s->integer)) return;
        s->any_real = true;
        s->inexact = true;
        s->real = static_cast<double>(s->integer - v) + static_cast<double>(v);
        return;
    }
    if (!s->any_real) {  // the integers so far become the running totals
        s->any_real = true;
        s->real = static_cast<double>(s->integer);
        s->inexact = __builtin_mul_overflow(s->integer, std::int64_t{10000}, &s->ten_thousandths);
    }
    const double v = sqlite3_value_double(argv[0]);
    s->real += v;
    if (s->inexact) return;
    const double scaled = std::round(v * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) > 9e17 || std::fabs(v * 10000.0 - scaled) > 1e-6 ||
        __builtin_add_overflow(s->ten_thousandths, static_cast<std::int64_t>(scaled), &s->ten_thousandths)) {
        s->inexact = true;
    }
}

void sum_final(sqlite3_context* ctx) {
    auto* s = static_cast<sum_state*>(sqlite3_aggregate_context(ctx, 0));
    if (s == nullptr || !s->seen) return sqlite3_result_null(ctx);
    if (!s->any_real) return sqlite3_result_int64(ctx, s->integer);
    if (s->inexact) return sqlite3_result_double(ctx, s->real);
    sqlite3_result_double(ctx, static_cast<double>(s->ten_thousandths) / 10000.0);
}

}  // namespace

std::span<const aggregate_def> aggregate_functions() {
    static const aggregate_def functions[] = {
        {"acc_first", first_last_step<false>, first_last_final},
        {"acc_last", first_last_step<true>, first_last_final},
        {"acc_stdev", spread_step, spread_final<false, true>},
        {"acc_stdevp", spread_step, spread_final<true, true>},
        {"acc_var", spread_step, spread_final<false, false>},
        {"acc_varp", spread_step, spread_final<true, false>},
        {"sum", sum_step, sum_final},
    };
    return functions;
}

}  // namespace korvane::data::access
