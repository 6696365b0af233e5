// SPDX-License-Identifier: Apache-2.0
#include "ports/log_errors.h"

namespace korvane {

void log_errors::clear_error_list() {
    if (list_) list_->clear();
}

void log_errors::add_error_line(const std::string& text) {
    if (list_) list_->add_line(text);
}

void log_errors::add_blank_error_line() {
    if (list_) list_->add_line(std::string());
}

}  // namespace korvane
