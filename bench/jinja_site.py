#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The benchmark's pages as a user would write them without korvane-cli:
Jinja2 and sqlite3, the section statement bound per page.

jinja_site.py DATABASE TEMPLATE OUTPUT_FOLDER DATE
"""
import os
import sqlite3
import sys

from jinja2 import Environment


def currency(amount):
    units = round(amount * 10000)
    sign = "-" if units < 0 else ""
    whole, fraction = divmod(abs(units), 10000)
    text = sign + str(whole)
    if fraction:
        text += "." + ("%04d" % fraction).rstrip("0")
    return text


def url_escape(text):
    return "".join("%%%02X" % ord(c) if c in " ;/?:@&=+$," else c for c in text)


def main():
    database, template_file, folder, date = sys.argv[1:5]
    env = Environment(keep_trailing_newline=True, newline_sequence="\r\n", autoescape=False)
    env.filters["urlescape"] = url_escape
    with open(template_file, encoding="utf-8", newline="") as f:
        template = env.from_string(f.read())
    db = sqlite3.connect(database)
    for row in db.execute("select id, file, title, author, price, published, in_stock, rating,"
                          " summary from pages"):
        page_id, file, title, author, price, published, in_stock, rating, summary = row
        lines = [{"name": name, "qty": qty, "price": currency(p)}
                 for name, qty, p in db.execute(
                     "select name, qty, price from lines where page_id = ? order by id", (page_id,))]
        page = template.render(title=title, author=author, published=published[:10],
                               price=currency(price), rating="%.15G" % rating,
                               in_stock=in_stock != 0, summary=summary, lines=lines, date=date)
        with open(os.path.join(folder, file), "w", encoding="utf-8", newline="") as out:
            out.write(page)


if __name__ == "__main__":
    main()
