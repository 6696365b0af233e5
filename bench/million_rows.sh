#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# A million main rows through korvane-cli: the same rows from an SQLite file
# and from PostgreSQL through psqlODBC, pages in memory (/dev/shm), and for
# each the pages per second, the CPU time and the peak memory (maximum
# resident set, as wait4 reports it for the child).
#
#   bench/million_rows.sh [BUILD_DIR] [ROWS] [JOBS]
#
# BUILD_DIR defaults to build/release, ROWS to 1000000, JOBS to 2. The pages
# are small (a title, an author, a price and a condition), so a million of
# them take about 4 GiB of memory while they exist; each site is removed
# after its run. PostgreSQL 15 runs for the bench only, on a Unix socket in
# the work folder (under root, as the user postgres).
set -euo pipefail

build=${1:-build/release}
rows=${2:-1000000}
jobs=${3:-2}
cli=$(realpath "$build/src/cli/korvane-cli")
pg_bin=/usr/lib/postgresql/15/bin
work=/dev/shm/korvane-million-$$
port=5439

as_pg() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
cleanup() {
    [ -f "$work/pg/data/postmaster.pid" ] && as_pg "$pg_bin/pg_ctl" -D "$work/pg/data" -m immediate -w stop >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

[ -x "$cli" ] || { echo "million_rows.sh: no $cli (build korvane-cli first)" >&2; exit 2; }
need_kib=$((rows * 12))  # a 4 KiB page of memory and its inode per page, twice over
avail_kib=$(df -k --output=avail /dev/shm | tail -1)
if [ "$avail_kib" -lt "$need_kib" ]; then
    echo "million_rows.sh: /dev/shm has $((avail_kib / 1024)) MiB free, $((need_kib / 1024)) MiB wanted" >&2
    exit 2
fi

mkdir -p "$work/templates"
chmod 755 "$work"
cat > "$work/templates/page.html" <<'EOF'
<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title><!--MAIN_FIELD=title--></title></head>
<body><h1><!--MAIN_FIELD=title--></h1>
<p>by <!--MAIN_FIELD=author-->, <!--MAIN_FIELD=price--></p>
<!--START IF=#--MAIN_FIELD=in_stock--#==True--><p>In stock</p><!--ELSE--><p>Out of stock</p><!--END IF-->
</body></html>
EOF

# The same values from both engines: one expression over the row number.
columns="id, 'page.html', 'page' || id || '.html', 'Title of page ' || id, 'Author ' || (id % 97),
         (id % 5000) / 100.0, (id % 3) <> 0"

echo "making $rows rows in SQLite and in PostgreSQL..."
sqlite3 "$work/pages.sqlite" >/dev/null <<EOF
PRAGMA journal_mode=OFF;
CREATE TABLE pages (id INTEGER PRIMARY KEY, template TEXT, file TEXT, title TEXT, author TEXT,
                    price REAL, in_stock BOOLEAN);
WITH RECURSIVE n(id) AS (SELECT 1 UNION ALL SELECT id + 1 FROM n WHERE id < $rows)
INSERT INTO pages SELECT $columns FROM n;
EOF

mkdir -p "$work/pg"
[ "$(id -u)" = 0 ] && chown postgres "$work/pg"
as_pg "$pg_bin/initdb" -D "$work/pg/data" -A trust -U korvane -E UTF8 --no-locale --no-sync \
    --no-instructions >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log"; exit 1; }
as_pg "$pg_bin/pg_ctl" -D "$work/pg/data" -o "-k $work/pg -p $port -c listen_addresses='' -c fsync=off" \
    -l "$work/pg/server.log" -w -t 30 start >/dev/null
psql -X -q -v ON_ERROR_STOP=1 -h "$work/pg" -p "$port" -U korvane -d postgres <<EOF
CREATE TABLE pages (id int PRIMARY KEY, template text, file text, title text, author text,
                    price double precision, in_stock boolean);
INSERT INTO pages SELECT $columns FROM generate_series(1, $rows) AS id;
VACUUM ANALYZE pages;
EOF

settings() {  # db_type db_name site
    printf 'db_type=%s\r\ndb_name=%s\r\nmain_type=0\r\nmain_name=pages\r\ntemplate_field=template\r\n' "$1" "$2"
    printf 'generated_field=file\r\ntemplate_path=templates/\r\ngenerated_path=%s/\r\n' "$3"
}
settings 0 pages.sqlite site-sqlite > "$work/sqlite.kvn"
settings 1 "Driver={PostgreSQL Unicode};Servername=$work/pg;Port=$port;Database=postgres;Username=korvane;BoolsAsChar=0" \
    site-postgres > "$work/postgres.kvn"

printf '\n%s rows, --jobs %s, pages in memory\n' "$rows" "$jobs"
printf '%-28s %9s %9s %11s %11s %9s\n' source pages pages/s "user us/pg" "sys us/pg" "peak MiB"
for source in sqlite postgres; do
    mkdir -p "$work/site-$source"
    sync
    /usr/bin/time -o "$work/time" -f '%e %U %S %M' \
        "$cli" generate "$work/$source.kvn" --quiet --no-row-limit --jobs "$jobs" --now 2026-01-01T12:00:00
    read -r wall user sys peak_kib < "$work/time"
    made=$(find "$work/site-$source" -name '*.html' | wc -l)
    awk -v s="$source" -v n="$made" -v w="$wall" -v u="$user" -v y="$sys" -v p="$peak_kib" 'BEGIN {
        printf "%-28s %9d %9.0f %11.1f %11.1f %9.1f\n", (s == "sqlite" ? "SQLite file" : "PostgreSQL (psqlODBC)"),
               n, n / w, u * 1e6 / n, y * 1e6 / n, p / 1024 }'
    rm -rf "$work/site-$source"
done
