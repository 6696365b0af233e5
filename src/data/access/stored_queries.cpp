// SPDX-License-Identifier: Apache-2.0
#include "data/access/stored_queries.h"

#include "data/access/access_text.h"

#include <algorithm>
#include <set>

namespace korvane::data::access {
namespace {

enum attribute_code {
    attr_type = 1,
    attr_parameter = 2,
    attr_select_flags = 3,
    attr_external = 4,
    attr_source = 5,
    attr_column = 6,
    attr_join = 7,
    attr_where = 8,
    attr_group = 9,
    attr_having = 10,
    attr_order = 11,
};

enum query_type { select_query = 1, crosstab_query = 6, union_query = 9 };

const char* type_name(int type) {
    switch (type) {
        case 2: return "make-table";
        case 3: return "append";
        case 4: return "update";
        case 5: return "delete";
        case 7: return "data-definition";
        case 8: return "pass-through";
        default: return "action";
    }
}

// MSysObjects Flags & 0xF0 -> the type codes of the type row.
int type_from_flags(int flags) {
    switch (flags & 0xF0) {
        case 0: return select_query;
        case 16: return crosstab_query;
        case 32: return 5;
        case 48: return 4;
        case 64: return 3;
        case 80: return 2;
        case 96: return 7;
        case 112: return 8;
        case 128: return union_query;
        default: return select_query;
    }
}

std::string bracketed(const std::string& name) { return "[" + name + "]"; }

std::string text_or_empty(const std::optional<std::string>& s) { return s ? *s : std::string(); }

bool mentions_form_control(const std::string& expression) {
    const std::string lower = lower_text(expression);
    return lower.find("[forms]!") != std::string::npos || lower.find("forms!") != std::string::npos ||
           lower.find("[reports]!") != std::string::npos || lower.find("reports!") != std::string::npos;
}

// A FROM item: one source, or sources already joined.
struct from_item {
    std::string text;                 // "A INNER JOIN B" for a join, else the source
    std::vector<std::string> conditions;  // ON conditions of a join, AND-ed
    std::set<std::string> names;      // table names and aliases it covers
    bool is_join = false;

    std::string render(bool outermost) const {
        if (!is_join) return text;
        std::string on;
        for (std::size_t i = 0; i < conditions.size(); ++i) {
            if (i > 0) on += " AND ";
            on += conditions.size() > 1 ? "(" + conditions[i] + ")" : conditions[i];
        }
        std::string s = text + " ON " + on;
        return outermost ? s : "(" + s + ")";
    }
};

std::string build_from(const std::vector<query_row>& rows) {
    std::vector<from_item> items;
    for (const auto& r : rows) {
        if (r.attribute != attr_source) continue;
        from_item item;
        const std::string table = text_or_empty(r.name1);
        const std::string alias = text_or_empty(r.name2);
        if (r.expression && !r.expression->empty()) {
            item.text = "(" + *r.expression + ")";
        } else {
            item.text = bracketed(table);
            item.names.insert(table);
        }
        if (!alias.empty()) {
            item.text += " AS " + bracketed(alias);
            item.names.insert(alias);
        }
        items.push_back(std::move(item));
    }
    auto find = [&](const std::string& name) -> std::size_t {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].names.count(name) != 0) return i;
        }
        return items.size();
    };
    for (const auto& r : rows) {
        if (r.attribute != attr_join) continue;
        const std::size_t left = find(text_or_empty(r.name1));
        const std::size_t right = find(text_or_empty(r.name2));
        const std::string condition = text_or_empty(r.expression);
        if (left == items.size() || right == items.size()) continue;
        if (left == right) {  // a further condition of a join already made
            if (!condition.empty()) items[left].conditions.push_back(condition);
            continue;
        }
        const char* kind = r.flag == 2 ? " LEFT JOIN " : r.flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        from_item joined;
        joined.is_join = true;
        joined.text = items[left].render(false) + kind + items[right].render(false);
        if (!condition.empty()) joined.conditions.push_back(condition);
        joined.names = items[left].names;
        joined.names.insert(items[right].names.begin(), items[right].names.end());
        const std::size_t first = std::min(left, right);
        const std::size_t second = std::max(left, right);
        items[first] = std::move(joined);
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(second));
    }
    std::string from;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) from += ", ";
        from += items[i].render(true);
    }
    return from;
}

std::string join_items(const std::vector<query_row>& rows, int attribute, const char* separator) {
    std::string out;
    for (const auto& r : rows) {
        if (r.attribute != attribute || !r.expression) continue;
        if (!out.empty()) out += separator;
        out += *r.expression;
    }
    return out;
}

std::string order_by(const std::vector<query_row>& rows) {
    std::string out;
    for (const auto& r : rows) {
        if (r.attribute != attr_order || !r.expression) continue;
        if (!out.empty()) out += ", ";
        out += *r.expression;
        if (r.name1 && lower_text(*r.name1) == "d") out += " DESC";
    }
    return out;
}

}  // namespace

rebuilt_query rebuild_query(const std::string& name, const std::vector<query_row>& rows,
                            int object_flags) {
    rebuilt_query result;
    int type = type_from_flags(object_flags);
    int select_flags = 0;
    std::string top;
    std::vector<std::string> parameters;
    for (const auto& r : rows) {
        if (r.attribute == attr_type) type = r.flag;
        if (r.attribute == attr_select_flags) {
            select_flags = r.flag;
            top = text_or_empty(r.name1);
        }
        if (r.attribute == attr_parameter) parameters.push_back(bracketed(text_or_empty(r.name1)));
        if (r.attribute == attr_external) {
            result.problem = "The query '" + name + "' reads from another database file (" +
                             text_or_empty(r.name1) + "), which cannot be opened from here.";
            return result;
        }
        if (r.expression && mentions_form_control(*r.expression)) {
            result.problem = "The query '" + name +
                             "' refers to controls of a form, which only Microsoft Access can supply.";
            return result;
        }
    }
    if (type == crosstab_query) {
        result.problem = "The query '" + name +
                         "' is a crosstab query (TRANSFORM ... PIVOT), which only Microsoft Access can run.";
        return result;
    }
    if (type != select_query && type != union_query) {
        const std::string kind = type_name(type);
        const bool vowel = std::string("aeiou").find(kind[0]) != std::string::npos;
        result.problem = "The query '" + name + "' is " + (vowel ? "an " : "a ") + kind +
                         " query; only select and union queries can be read.";
        return result;
    }
    if (!parameters.empty()) {
        std::string list;
        for (const auto& p : parameters) list += (list.empty() ? "" : ", ") + p;
        result.problem = "The query '" + name + "' asks for parameter values (" + list +
                         "), which only Microsoft Access can supply.";
        return result;
    }

    if (type == union_query) {
        // Each part is a whole SELECT kept as one source expression.
        const char* glue = (select_flags & 2) != 0 ? " UNION " : " UNION ALL ";
        std::string sql;
        for (const auto& r : rows) {
            if (r.attribute != attr_source || !r.expression) continue;
            std::string part = *r.expression;
            while (!part.empty() && (part.back() == ';' || part.back() == ' ' || part.back() == '\r' ||
                                     part.back() == '\n'))
                part.pop_back();
            if (lower_text(part.substr(0, 6)) == "table ") part = "SELECT * FROM " + part.substr(6);
            if (!sql.empty()) sql += glue;
            sql += part;
        }
        if (sql.empty()) {
            result.problem = "The union query '" + name + "' holds no SELECT statements.";
            return result;
        }
        const std::string order = order_by(rows);
        if (!order.empty()) sql += " ORDER BY " + order;
        result.sql = sql;
        return result;
    }

    std::string sql = "SELECT ";
    if ((select_flags & 2) != 0) sql += "DISTINCT ";
    else if ((select_flags & 8) != 0) sql += "DISTINCTROW ";
    if ((select_flags & 16) != 0 && !top.empty()) {
        sql += "TOP " + top + ((select_flags & 32) != 0 ? " PERCENT " : " ");
    }
    std::string columns;
    for (const auto& r : rows) {
        if (r.attribute != attr_column || !r.expression) continue;
        if (!columns.empty()) columns += ", ";
        columns += *r.expression;
        if (r.name1 && !r.name1->empty()) columns += " AS " + bracketed(*r.name1);
    }
    if ((select_flags & 1) != 0 || columns.empty()) columns += columns.empty() ? "*" : ", *";
    sql += columns;
    const std::string from = build_from(rows);
    if (!from.empty()) sql += " FROM " + from;
    const std::string where = join_items(rows, attr_where, " AND ");
    if (!where.empty()) sql += " WHERE " + where;
    const std::string group = join_items(rows, attr_group, ", ");
    if (!group.empty()) sql += " GROUP BY " + group;
    const std::string having = join_items(rows, attr_having, " AND ");
    if (!having.empty()) sql += " HAVING " + having;
    const std::string order = order_by(rows);
    if (!order.empty()) sql += " ORDER BY " + order;
    result.sql = sql;
    return result;
}

}  // namespace korvane::data::access
