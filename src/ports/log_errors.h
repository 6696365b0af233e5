// SPDX-License-Identifier: Apache-2.0
// The error report: the one way a generation run writes its problems into the
// list the user reads afterwards. The list itself is a target interface, so the
// window's list box, the command line and the tests each plug in their own.
#pragma once

#include <string>
#include <vector>

namespace korvane {

class error_list_target {
public:
    virtual ~error_list_target() = default;
    virtual void clear() = 0;
    virtual void add_line(const std::string& line) = 0;
};

// Keeps the lines in memory, in the order they came.
class memory_error_list final : public error_list_target {
public:
    void clear() override { lines_.clear(); }
    void add_line(const std::string& line) override { lines_.push_back(line); }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Drops every line, for a run that reports to no one.
class null_error_list final : public error_list_target {
public:
    void clear() override {}
    void add_line(const std::string&) override {}
};

// The four operations of the report over the list it was handed. Without a
// list the operations do nothing.
class log_errors {
public:
    void set_error_list(error_list_target* list) { list_ = list; }
    error_list_target* error_list() const { return list_; }
    void clear_error_list();
    void add_error_line(const std::string& text);
    void add_blank_error_line();

private:
    error_list_target* list_ = nullptr;
};

}  // namespace korvane
