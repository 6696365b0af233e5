// SPDX-License-Identifier: Apache-2.0
// Lint for templates: finds what the generator passes over in silence (tags
// that are not tags, sections it will close somewhere the author did not
// mean, conditions that cannot hold) before a run.
#pragma once

#include "generator/template_syntax.h"

#include <string>
#include <vector>

namespace korvane::check {

struct finding {
    std::string file;
    int line = 1;    // 1-based
    int column = 1;  // 1-based, in bytes
    std::string message;
    // A row's template or page outside its folder or behind a link: allowed,
    // so it fails a check only when the check is for a confined run.
    bool path_warning = false;
};

// "file:line:column: warning: message"
std::string format_finding(const finding& f);

using tag_kind = generator::tag_kind;

struct template_tag {
    tag_kind kind;
    int line = 0;        // 0-based index into the template's lines
    int column = 0;      // 0-based byte offset of "<!--"
    int end_column = 0;  // 0-based byte offset just past "-->"
    std::string parameter;
    int section = -1;  // index of the innermost enclosing REPEAT tag, -1 for none
};

// A field named by a tag or by a #--...--# reference inside a parameter.
struct field_use {
    bool main = true;  // MAIN_FIELD, else REPEAT_FIELD
    std::string name;  // as the generator looks it up
    int line = 0;
    int column = 0;
    int section = -1;  // enclosing REPEAT tag (for REPEAT_FIELD), -1 for none
};

// A section as the author wrote it: indices into template_outline::tags.
struct section_span {
    int opener = -1;
    int divider = -1;  // its REPEAT ELSE or ELSE, -1 for none
    int end = -1;      // -1 when the section is never closed as it should be
};

struct template_outline {
    std::vector<template_tag> tags;
    std::vector<field_use> fields;
    std::vector<section_span> sections;
};

// Reads the tags of a template in the order the generator meets them and
// reports every lexical and structural problem. lines are the template's
// lines without terminators.
std::vector<finding> check_template_lines(const std::string& file,
                                          const std::vector<std::string>& lines,
                                          template_outline& outline);

// The field a field parameter names, as the generator reads it: the field:=
// option (lower case) when there is one, else the whole parameter.
std::string field_name_of_parameter(const std::string& parameter);

}  // namespace korvane::check
