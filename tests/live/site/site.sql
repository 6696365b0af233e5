-- SPDX-License-Identifier: Apache-2.0
-- Rows a1..a3 use a.html, b1..b3 use b.html; b3's template runs a statement
-- that fails, so its page has a problem to show.
create table pages (tpl text, page text, title text);
insert into pages values ('a.html', 'a1.html', 'A one'), ('a.html', 'a2.html', 'A two'),
    ('b.html', 'b1.html', 'B one'), ('a.html', 'a3.html', 'A three'), ('b.html', 'b2.html', 'B two'),
    ('bad.html', 'b3.html', 'B three');
