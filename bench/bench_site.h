// SPDX-License-Identifier: Apache-2.0
// The benchmark's site, shared by korvane_bench (which writes it as a template)
// and the floor program (which writes the same pages by hand): the template's
// fixed texts and the statement of its repeating section.
#pragma once

#include <string>

namespace korvane::bench {

inline const std::string section_statement =
    "select name, qty, price from lines where page_id = ";
inline const std::string section_order = " order by id";

inline std::string navigation_lines() {
    std::string t;
    for (int i = 0; i < 12; ++i) {
        t += "  <li><a href=\"section" + std::to_string(i) + ".html\">Section number " +
             std::to_string(i) + " of the catalogue</a></li>\n";
    }
    return t;
}

inline std::string footer_lines() {
    std::string t;
    for (int i = 0; i < 16; ++i) {
        t += "<p>Footer line " + std::to_string(i) +
             ": terms, privacy, shipping and returns information for the catalogue.</p>\n";
    }
    return t;
}

// A realistic page: head, navigation and footer text around eight field tags,
// a repeating section over the page's lines with a condition inside, and
// conditions outside it.
inline std::string page_template() {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title><!--MAIN_FIELD=title--></title>\n"
           "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
           "<!-- navigation -->\n<nav><ul>\n" +
           navigation_lines() +
           "</ul></nav>\n<main>\n<h1><!--MAIN_FIELD=title--></h1>\n"
           "<p class=\"by\">by <a href=\"author.html?name=<!--MAIN_FIELD=field:=author,escape:=true-->\">"
           "<!--MAIN_FIELD=author--></a>, published <!--MAIN_FIELD=published--></p>\n"
           "<p class=\"price\">Price: <!--MAIN_FIELD=price--> (rating <!--MAIN_FIELD=rating-->)</p>\n"
           "<!--START IF=#--MAIN_FIELD=in_stock--#==True-->\n<p class=\"stock\">In stock</p>\n"
           "<!--ELSE-->\n<p class=\"stock\">Out of stock</p>\n<!--END IF-->\n"
           "<p><!--MAIN_FIELD=summary--></p>\n<table>\n"
           "<tr><th>#</th><th>Item</th><th>Qty</th><th>Price</th></tr>\n"
           "<!--REPEAT=" + section_statement + "#--MAIN_FIELD=id--#" + section_order + "-->\n"
           "<tr><td><!--REPEAT_FIELD=name--></td><td><!--REPEAT_FIELD=qty--></td>"
           "<td><!--REPEAT_FIELD=price--></td></tr>\n"
           "<!--START IF=current_record_num<number_of_records--><tr class=\"sep\"></tr><!--END IF-->\n"
           "<!--REPEAT ELSE-->\n<tr><td colspan=\"4\">No items</td></tr>\n<!--END REPEAT-->\n"
           "</table>\n</main>\n<footer>\n" +
           footer_lines() +
           "<p>Generated <!--TODAYS DATE=yyyy-mm-dd hh:nn--></p>\n</footer>\n</body>\n</html>\n";
}

// The lighter workload: the same page without its repeating section, only
// field tags and conditions around fixed text.
inline std::string fields_template() {
    std::string t = page_template();
    const std::size_t from = t.find("<!--REPEAT=");
    const std::string end = "<!--END REPEAT-->\n";
    t.erase(from, t.find(end) + end.size() - from);
    return t;
}

// The same page as a Jinja2 template, for the script a user would write
// instead (jinja_site.py); its values come formatted as the pages show them.
inline std::string jinja_template() {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title>{{ title }}</title>\n"
           "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
           "<!-- navigation -->\n<nav><ul>\n" +
           navigation_lines() +
           "</ul></nav>\n<main>\n<h1>{{ title }}</h1>\n"
           "<p class=\"by\">by <a href=\"author.html?name={{ author|urlescape }}\">{{ author }}</a>,"
           " published {{ published }}</p>\n"
           "<p class=\"price\">Price: {{ price }} (rating {{ rating }})</p>\n"
           "\n<p class=\"stock\">{% if in_stock %}In stock{% else %}Out of stock{% endif %}</p>\n\n"
           "<p>{{ summary }}</p>\n<table>\n"
           "<tr><th>#</th><th>Item</th><th>Qty</th><th>Price</th></tr>\n"
           "{% for line in lines %}\n<tr><td>{{ line.name }}</td><td>{{ line.qty }}</td>"
           "<td>{{ line.price }}</td></tr>\n"
           "{% if not loop.last %}<tr class=\"sep\"></tr>{% endif %}\n{% endfor %}\n"
           "</table>\n</main>\n<footer>\n" +
           footer_lines() +
           "<p>Generated {{ date }}</p>\n</footer>\n</body>\n</html>\n";
}

}  // namespace korvane::bench
