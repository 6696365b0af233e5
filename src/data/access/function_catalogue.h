// SPDX-License-Identifier: Apache-2.0
// Which Access functions a statement may call, and how each is answered:
// by Korvane's acc_* version, by SQLite's function of the same name where
// that gives Access's results, or not at all, with the reason, where the
// in-memory copy cannot give Access's answer. A name Access does not know is
// refused as Access refuses it, rather than handed to SQLite.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane::data::access {

// acc_version: called as acc_<name>; same_name: called by its own name
// (SQLite's function, or Korvane's registered under that name).
enum class function_answer { acc_version, same_name, refused };

struct function_support {
    function_answer answer;
    std::string message;  // for refused: the text the statement fails with
};

// name as written in the statement, without a trailing "$".
function_support access_function(std::string_view name);

// Every function a statement may call, lower case, in order.
std::vector<std::string> accepted_access_functions();

}  // namespace korvane::data::access
