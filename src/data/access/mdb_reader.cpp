// SPDX-License-Identifier: Apache-2.0
#include "data/access/mdb_reader.h"

#include "data/access/access_dates.h"
#include "data/access/access_text.h"

// glib first: mdbtools.h includes it inside extern "C", where glib's C++
// parts do not compile.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvane::data::access {
namespace {

// Access 2019's "Date/Time Extended" type, unknown to libmdb.
constexpr int mdb_ext_datetime = 0x14;

std::int64_t read_int64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return static_cast<std::int64_t>(v);
}

std::int32_t read_int32(const unsigned char* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

double read_double(const unsigned char* p) {
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

float read_single(const unsigned char* p) {
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}

// A single as Access shows it: 7 significant digits (0.15, not
// 0.150000005960464).
double rounded_single(float f) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(f), std::chars_format::general, 7);
    double d = f;
    if (res.ec == std::errc{}) std::from_chars(buf, res.ptr, d);
    return d;
}

std::string declared_type(int type) {
    const std::string text_type = std::string("TEXT COLLATE ") + text_collation;
    switch (type) {
        case MDB_BOOL: return "BOOLEAN INTEGER";
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT: return "INTEGER";
        case MDB_MONEY: return "CURRENCY REAL";
        case MDB_FLOAT: return "SINGLE REAL";
        case MDB_DOUBLE: return "DOUBLE";
        case MDB_DATETIME:
        case mdb_ext_datetime: return "DATETIME TEXT";
        case MDB_BINARY: return "BINARY BLOB";
        case MDB_OLE: return "OLE BLOB";
        case MDB_TEXT: return text_type;
        case MDB_MEMO: return "MEMO " + text_type;
        case MDB_REPID: return "GUID TEXT";
        case MDB_NUMERIC: return "DECIMAL BLOB";  // no affinity: digits stay digits
        case MDB_COMPLEX: return "INTEGER";
        default: return "";
    }
}

}  // namespace

// A Decimal is kept as the number it is when a double holds it exactly (it
// then compares and sorts as a number) and as its digits otherwise, so that
// 102030405060.654321 keeps all eighteen.
void decimal_cell(std::string digits, cell& out) {
    if (digits.find('.') != std::string::npos) {
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
    }
    if (digits == "-0") digits = "0";
    std::int64_t whole = 0;
    const char* end = digits.data() + digits.size();
    if (auto r = std::from_chars(digits.data(), end, whole); r.ec == std::errc{} && r.ptr == end) {
        out.k = cell::kind::integer;
        out.integer = whole;
        return;
    }
    double real = 0.0;
    char again[32];
    if (auto r = std::from_chars(digits.data(), end, real); r.ec == std::errc{} && r.ptr == end) {
        std::snprintf(again, sizeof again, "%.15G", real);
        if (digits == again) {
            out.k = cell::kind::real;
            out.real = real;
            return;
        }
    }
    out.k = cell::kind::text;
    out.bytes = std::move(digits);
}

struct mdb_reader::impl {
    MdbHandle* mdb = nullptr;
    std::vector<MdbCatalogEntry*> entries;
    std::vector<char> scratch;
    std::string text_buffer;

    ~impl() {
        if (mdb != nullptr) mdb_close(mdb);
    }

    bool jet3() const { return mdb->f->jet_version == MDB_VER_JET3; }

    void decode_text(const unsigned char* p, std::size_t size, cell& out) {
        out.k = cell::kind::text;
        if (!jet3()) {
            utf16_text_to_utf8(p, size, out.bytes);
            return;
        }
        // Jet3 keeps 8-bit text in the file's code page; libmdb's iconv
        // converts it unless it is plain ASCII anyway.
        bool ascii = true;
        for (std::size_t i = 0; i < size && ascii; ++i) ascii = p[i] < 0x80;
        if (ascii) {
            out.bytes.assign(reinterpret_cast<const char*>(p), size);
            return;
        }
        text_buffer.resize(size * 4 + 8);
        const int n = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(p), size, text_buffer.data(),
                                        text_buffer.size());
        out.bytes.assign(text_buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    }

    // A memo or OLE value of any length: libmdb reads the long-value chain
    // from the 12-byte header, which it expects at the column's bind pointer.
    bool read_long_value(MdbColumn* col, const MdbField& f, std::string& out) {
        if (f.siz < MDB_MEMO_OVERHEAD) return false;
        scratch.assign(static_cast<std::size_t>(mdb->fmt->pg_size) + static_cast<std::size_t>(f.siz) + 16, 0);
        std::memcpy(scratch.data(), mdb->pg_buf + f.start, MDB_MEMO_OVERHEAD);
        void* saved = col->bind_ptr;
        col->bind_ptr = scratch.data();
        col->cur_value_start = f.start;
        col->cur_value_len = f.siz;
        size_t size = 0;
        void* bytes = mdb_ole_read_full(mdb, col, &size);
        col->bind_ptr = saved;
        if (bytes == nullptr) return false;
        out.assign(static_cast<const char*>(bytes), size);
        std::free(bytes);
        return true;
    }

    // Values of the plain fixed and text types from their bytes; false for
    // the types that need more than that.
    bool decode_plain(int type, const unsigned char* p, std::size_t size, cell& out) {
        auto need = [&](std::size_t n) { return size >= n; };
        switch (type) {
            case MDB_BYTE:
                if (!need(1)) return true;
                out.k = cell::kind::integer;
                out.integer = p[0];
                return true;
            case MDB_INT:
                if (!need(2)) return true;
                out.k = cell::kind::integer;
                out.integer = static_cast<std::int16_t>(p[0] | (p[1] << 8));
                return true;
            case MDB_LONGINT:
            case MDB_COMPLEX:
                if (!need(4)) return true;
                out.k = cell::kind::integer;
                out.integer = read_int32(p);
                return true;
            case MDB_MONEY:
                if (!need(8)) return true;
                out.k = cell::kind::real;
                out.real = static_cast<double>(read_int64(p)) / 10000.0;
                return true;
            case MDB_FLOAT:
                if (!need(4)) return true;
                out.k = cell::kind::real;
                out.real = rounded_single(read_single(p));
                return true;
            case MDB_DOUBLE:
                if (!need(8)) return true;
                out.k = cell::kind::real;
                out.real = read_double(p);
                return true;
            case MDB_DATETIME: {
                if (!need(8)) return true;
                auto parts = parts_from_ole(read_double(p));
                if (!parts) return true;
                out.k = cell::kind::text;
                out.bytes = stamp_from_parts(*parts);
                return true;
            }
            case MDB_TEXT:
            case MDB_MEMO:
                decode_text(p, size, out);
                return true;
            case MDB_BINARY:
            case MDB_OLE:
                out.k = cell::kind::blob;
                out.bytes.assign(reinterpret_cast<const char*>(p), size);
                return true;
            default:
                return false;
        }
    }

    // "Date/Time Extended": ASCII "<days since 0001-01-01>:<time of day in
    // 100 ns>:<precision>", each field zero-padded.
    static void decode_extended_date(const unsigned char* p, std::size_t size, cell& out) {
        std::string_view raw(reinterpret_cast<const char*>(p), size);
        const std::size_t colon = raw.find(':');
        if (colon == std::string_view::npos) return;
        std::int64_t days = 0;
        std::uint64_t ticks = 0;
        if (std::from_chars(raw.data(), raw.data() + colon, days).ec != std::errc{}) return;
        const std::size_t next = raw.find(':', colon + 1);
        if (next == std::string_view::npos ||
            std::from_chars(raw.data() + colon + 1, raw.data() + next, ticks).ec != std::errc{}) {
            return;
        }
        date_parts parts;
        civil_from_days(days + days_from_civil(1, 1, 1), parts.year, parts.month, parts.day);
        const std::uint64_t seconds = ticks / 10000000;
        if (seconds >= 86400) return;
        parts.hour = static_cast<int>(seconds / 3600);
        parts.minute = static_cast<int>(seconds / 60 % 60);
        parts.second = static_cast<int>(seconds % 60);
        if (!valid_parts(parts)) return;
        out.k = cell::kind::text;
        out.bytes = stamp_from_parts(parts);
    }

    // A calculated value's decimal: 2 bytes, scale, sign, then a 96-bit
    // magnitude as its high 32 bits and low 64 bits.
    static void decode_calculated_decimal(const unsigned char* p, std::size_t size, cell& out) {
        if (size < 16) return;
        __extension__ typedef unsigned __int128 uint128;
        const auto high = static_cast<std::uint32_t>(read_int32(p + 4));
        const auto low = static_cast<std::uint64_t>(read_int64(p + 8));
        uint128 v = (static_cast<uint128>(high) << 64) | low;
        std::string digits;
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
            v /= 10;
        } while (v != 0);
        const std::size_t scale = std::min<std::size_t>(p[2], 28);
        if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
        if (scale > 0) digits.insert(digits.size() - scale, ".");
        decimal_cell(((p[3] & 0x80) != 0 ? "-" : "") + digits, out);
    }

    // Calculated columns (Access 2010+) keep their result wrapped: 16 bytes,
    // the result's length, then the result as its own type stores it; a
    // Memo result sits in a long value.
    void read_calculated(MdbColumn* col, const MdbField& f, int result_type, cell& out) {
        std::string raw;
        const unsigned char* p = mdb->pg_buf + f.start;
        auto size = static_cast<std::size_t>(f.siz);
        if (result_type == MDB_MEMO) {
            const int saved_type = col->col_type;
            col->col_type = MDB_MEMO;
            const bool ok = read_long_value(col, f, raw);
            col->col_type = saved_type;
            if (!ok) return;
            p = reinterpret_cast<const unsigned char*>(raw.data());
            size = raw.size();
        }
        if (size < 20) return;
        const std::int32_t len = read_int32(p + 16);
        if (len < 0 || static_cast<std::size_t>(len) > size - 20) return;
        p += 20;
        size = static_cast<std::size_t>(len);
        if (result_type == MDB_BOOL) {
            if (size < 1) return;
            out.k = cell::kind::integer;
            out.integer = p[0] != 0 ? -1 : 0;
        } else if (result_type == MDB_NUMERIC) {
            decode_calculated_decimal(p, size, out);
        } else {
            decode_plain(result_type, p, size, out);
        }
    }

    // result_type: for calculated columns the type of their result, else 0.
    void read_value(MdbColumn* col, const MdbField& f, int result_type, cell& out) {
        out.k = cell::kind::null;
        if (col->col_type == MDB_BOOL && result_type == 0) {  // the null bit is the value
            out.k = cell::kind::integer;
            out.integer = f.is_null ? 0 : -1;
            return;
        }
        if (f.is_null || f.start < 0 || f.siz < 0 || f.start + f.siz > mdb->fmt->pg_size) return;
        if (result_type != 0) return read_calculated(col, f, result_type, out);
        const unsigned char* p = mdb->pg_buf + f.start;
        const auto size = static_cast<std::size_t>(f.siz);
        switch (col->col_type) {
            case mdb_ext_datetime:
                decode_extended_date(p, size, out);
                return;
            case MDB_MEMO: {
                std::string raw;
                if (!read_long_value(col, f, raw)) return;
                decode_text(reinterpret_cast<const unsigned char*>(raw.data()), raw.size(), out);
                return;
            }
            case MDB_OLE:
                if (read_long_value(col, f, out.bytes)) out.k = cell::kind::blob;
                return;
            case MDB_REPID: {
                if (size < 16) return;
                char* s = mdb_uuid_to_string(mdb->pg_buf, f.start);
                if (s == nullptr) return;
                out.k = cell::kind::text;
                out.bytes = s;
                g_free(s);
                return;
            }
            case MDB_NUMERIC: {
                if (size < 17) return;
                char* s = mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec);
                if (s == nullptr) return;
                decimal_cell(s, out);
                g_free(s);
                return;
            }
            default:
                decode_plain(col->col_type, p, size, out);
                return;
        }
    }
};

mdb_reader::mdb_reader(std::unique_ptr<impl> p) : impl_(std::move(p)) {}

mdb_reader::~mdb_reader() = default;

std::unique_ptr<mdb_reader> mdb_reader::open(const std::string& path, std::string& error) {
    auto p = std::make_unique<impl>();
    p->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (p->mdb == nullptr) {
        error = "'" + path + "' is not an Access database that can be read.";
        return nullptr;
    }
    if (mdb_read_catalog(p->mdb, MDB_ANY) == nullptr || p->mdb->catalog == nullptr) {
        error = "The Access database '" + path +
                "' cannot be read: it is encrypted with a database password, or damaged.";
        return nullptr;
    }
    std::unique_ptr<mdb_reader> reader(new mdb_reader(std::move(p)));
    impl& d = *reader->impl_;
    for (unsigned i = 0; i < d.mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(d.mdb->catalog, i));
        if (entry == nullptr) continue;
        d.entries.push_back(entry);
        reader->catalog_.push_back({entry->object_name, entry->object_type, mdb_is_system_table(entry) != 0});
    }
    return reader;
}

bool mdb_reader::read_table(const std::string& name, std::vector<column_def>& columns,
                            const std::function<void(const std::vector<cell>&)>& on_row,
                            std::string& error, std::int64_t* rows_lost) {
    impl& d = *impl_;
    MdbCatalogEntry* entry = nullptr;
    for (std::size_t i = 0; i < catalog_.size(); ++i) {
        if (catalog_[i].object_type == MDB_TABLE && catalog_[i].name == name) {
            entry = d.entries[i];
            break;
        }
    }
    if (entry == nullptr) {
        error = "The table '" + name + "' does not exist.";
        return false;
    }
    MdbTableDef* table = mdb_read_table(entry);
    if (table == nullptr) {
        error = "The definition of the table '" + name + "' cannot be read; the file may be damaged.";
        return false;
    }
    struct table_guard {
        MdbTableDef* t;
        ~table_guard() { mdb_free_tabledef(t); }
    } guard{table};
    if (mdb_read_columns(table) == nullptr) {
        error = "The columns of the table '" + name + "' cannot be read; the file may be damaged.";
        return false;
    }

    const unsigned n = table->num_cols;
    columns.clear();
    std::vector<int> result_type(n, 0);
    std::vector<bool> readable(n, true);
    for (unsigned i = 0; i < n; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        int type = col->col_type;
        if (col->props != nullptr && mdb_col_get_prop(col, "Expression") != nullptr) {
            const char* result = mdb_col_get_prop(col, "ResultType");
            result_type[i] = result != nullptr ? std::atoi(result) : col->col_type;
            if (result_type[i] <= 0) result_type[i] = col->col_type;
            type = result_type[i];
        }
        std::string decl = declared_type(type);
        if (decl.empty()) readable[i] = false;  // a type nobody can read: kept as Null
        columns.push_back({col->name, decl.empty() ? "BLOB" : decl});
    }

    std::vector<MdbField> fields(n == 0 ? 1 : n);
    std::vector<cell> row(n);
    std::int64_t rows_read = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        int start = 0;
        size_t len = 0;
        if (mdb_find_row(d.mdb, static_cast<int>(table->cur_row) - 1, &start, &len) != 0) continue;
        start &= 0x1fff;  // the row offset's top bits flag lookups and deletes
        if (mdb_crack_row(table, start, len, fields.data()) < 0) continue;
        for (unsigned i = 0; i < n; ++i) {
            const int colnum = fields[i].colnum;
            if (colnum < 0 || static_cast<unsigned>(colnum) >= n) continue;
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, colnum));
            if (!readable[static_cast<unsigned>(colnum)]) {
                row[static_cast<unsigned>(colnum)].k = cell::kind::null;
                continue;
            }
            d.read_value(col, fields[i], result_type[static_cast<unsigned>(colnum)],
                         row[static_cast<unsigned>(colnum)]);
        }
        on_row(row);
        ++rows_read;
    }
    if (rows_lost) *rows_lost = std::max<std::int64_t>(0, static_cast<std::int64_t>(table->num_rows) - rows_read);
    return true;
}

}  // namespace korvane::data::access
