-- SPDX-License-Identifier: Apache-2.0
-- The site of korvane-cli's run tests: 60 pages over two templates, a
-- missing template (row 17) and an output without its folder (row 23).
CREATE TABLE pages (id INTEGER, tpl TEXT, out TEXT, title TEXT, price CURRENCY, flag BOOLEAN);
WITH RECURSIVE n(id) AS (SELECT 1 UNION ALL SELECT id + 1 FROM n WHERE id < 60)
INSERT INTO pages SELECT id, CASE WHEN id = 17 THEN 'missing.html'
                                  WHEN id % 7 = 3 THEN 'b.html' ELSE 'a.html' END,
    CASE WHEN id = 23 THEN 'no-folder/p23.html' ELSE 'p' || id || '.html' END,
    'Page ' || id || ' a/b?c', id + 0.25, CASE WHEN id % 2 THEN -1 ELSE 0 END FROM n;
CREATE TABLE items (page INTEGER, n INTEGER, name TEXT);
INSERT INTO items SELECT id, k, 'item ' || k FROM pages
    JOIN (SELECT 1 AS k UNION SELECT 2 UNION SELECT 3) ON k <= id % 4;
CREATE TABLE notes (item_page INTEGER, item_n INTEGER, text TEXT);
INSERT INTO notes SELECT page, n, 'note' FROM items WHERE n % 2 = 1;
