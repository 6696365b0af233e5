// SPDX-License-Identifier: Apache-2.0
// The Access functions by family, as the registration sees them: each
// family file lists its SQLite functions with their argument counts.
#pragma once

#include <span>

struct sqlite3_context;
struct sqlite3_value;

namespace korvane::data::access {

using scalar_function = void (*)(sqlite3_context*, int, sqlite3_value**);

struct scalar_def {
    const char* name;
    int min_args, max_args;
    scalar_function f;
    bool deterministic = true;
};

struct aggregate_def {
    const char* name;
    scalar_function step;
    void (*final)(sqlite3_context*);
};

std::span<const scalar_def> operator_functions();
std::span<const scalar_def> text_functions();
std::span<const scalar_def> conversion_functions();
std::span<const scalar_def> number_functions();
std::span<const scalar_def> date_functions();
std::span<const scalar_def> format_functions();
std::span<const aggregate_def> aggregate_functions();

}  // namespace korvane::data::access
