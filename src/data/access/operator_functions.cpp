// SPDX-License-Identifier: Apache-2.0
// Access operators with its Null and type rules: & joins texts, + joins
// texts or adds dates, \\ and Mod round to whole numbers first; and Like
// with Access wildcards.
#include "data/access/function_table.h"
#include "data/access/access_text.h"
#include "data/access/function_values.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>

namespace korvane::data::access {
namespace {

void fn_concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    bool all_null = true;
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
        all_null = false;
        out += text_of(argv[i]);
    }
    if (all_null) {
        sqlite3_result_null(ctx);
        return;
    }
    result_text(ctx, out);
}

void result_sum(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b, bool subtract) {
    if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
        std::int64_t r = 0;
        const bool overflow = subtract ? __builtin_sub_overflow(sqlite3_value_int64(a), sqlite3_value_int64(b), &r)
                                       : __builtin_add_overflow(sqlite3_value_int64(a), sqlite3_value_int64(b), &r);
        if (!overflow) {
            sqlite3_result_int64(ctx, r);
            return;
        }
    }
    auto x = number_of(a);
    auto y = number_of(b);
    if (!x || !y) return type_mismatch(ctx);
    sqlite3_result_double(ctx, subtract ? *x - *y : *x + *y);
}

void fn_add(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const bool a_text = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
    const bool b_text = sqlite3_value_type(argv[1]) == SQLITE_TEXT;
    const auto a_date = a_text ? stamp_value(value_text(argv[0])) : std::nullopt;
    const auto b_date = b_text ? stamp_value(value_text(argv[1])) : std::nullopt;
    if (a_date && !b_text) {
        if (auto n = number_of(argv[1])) return result_date(ctx, *a_date + *n);
    }
    if (b_date && !a_text) {
        if (auto n = number_of(argv[0])) return result_date(ctx, *b_date + *n);
    }
    if (a_text && b_text) {  // + joins two texts
        result_text(ctx, std::string(value_text(argv[0])) + std::string(value_text(argv[1])));
        return;
    }
    result_sum(ctx, argv[0], argv[1], false);
}

void fn_sub(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    const auto a_date = sqlite3_value_type(argv[0]) == SQLITE_TEXT ? stamp_value(value_text(argv[0])) : std::nullopt;
    const auto b_date = sqlite3_value_type(argv[1]) == SQLITE_TEXT ? stamp_value(value_text(argv[1])) : std::nullopt;
    if (a_date && b_date) return sqlite3_result_double(ctx, *a_date - *b_date);
    if (a_date) {
        auto n = number_of(argv[1]);
        if (!n) return type_mismatch(ctx);
        return result_date(ctx, *a_date - *n);
    }
    result_sum(ctx, argv[0], argv[1], true);
}

void fn_div(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = number_of(argv[0]);
    auto b = number_of(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    if (*b == 0) return sqlite3_result_error(ctx, "Division by zero.", -1);
    sqlite3_result_double(ctx, *a / *b);
}

void fn_intdiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = whole_number(argv[0]);
    auto b = whole_number(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    if (*b == 0) return sqlite3_result_error(ctx, "Division by zero.", -1);
    if (*b == -1) return sqlite3_result_int64(ctx, -*a);
    sqlite3_result_int64(ctx, *a / *b);
}

void fn_mod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = whole_number(argv[0]);
    auto b = whole_number(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    if (*b == 0) return sqlite3_result_error(ctx, "Division by zero.", -1);
    if (*b == -1) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, *a % *b);
}

void fn_pow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (any_null(2, argv)) return sqlite3_result_null(ctx);
    auto a = number_of(argv[0]);
    auto b = number_of(argv[1]);
    if (!a || !b) return type_mismatch(ctx);
    const double r = std::pow(*a, *b);
    if (!std::isfinite(r)) return invalid_call(ctx);
    sqlite3_result_double(ctx, r);
}

void fn_like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (any_null(std::min(argc, 2), argv)) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, like_match(text_of(argv[0]), text_of(argv[1])) ? 1 : 0);
}

// Choose(index, first, second, ...): the index-th choice, Null outside them.
void fn_choose(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2) return invalid_call(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return invalid_null(ctx);
    auto index = whole_number(argv[0]);
    if (!index) return type_mismatch(ctx);
    if (*index < 1 || *index > argc - 1) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, argv[*index]);
}

// Switch(condition, value, ...): the value of the first condition that holds
// (a Null condition does not), Null when none does.
void fn_switch(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc % 2 != 0) return invalid_call(ctx);
    for (int i = 0; i < argc; i += 2) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
        auto truth = number_of(argv[i]);
        if (!truth) return type_mismatch(ctx);
        if (*truth != 0) return sqlite3_result_value(ctx, argv[i + 1]);
    }
    sqlite3_result_null(ctx);
}

}  // namespace

std::span<const scalar_def> operator_functions() {
    static const scalar_def functions[] = {
        {"acc_concat", -1, -1, fn_concat},
        {"acc_add", 2, 2, fn_add},
        {"acc_sub", 2, 2, fn_sub},
        {"acc_div", 2, 2, fn_div},
        {"acc_intdiv", 2, 2, fn_intdiv},
        {"acc_mod", 2, 2, fn_mod},
        {"acc_pow", 2, 2, fn_pow},
        {"like", 2, 3, fn_like},
        {"acc_choose", -1, -1, fn_choose},
        {"acc_switch", -1, -1, fn_switch},
    };
    return functions;
}

}  // namespace korvane::data::access
