-- SPDX-License-Identifier: Apache-2.0
-- The small sites of korvane-cli's run tests, a table each: one page, three
-- pages, forty rows of which two write one page and one takes another's page
-- as its template, and 32,768 pages (more than a run may take).
CREATE TABLE one (tpl TEXT, out TEXT);
INSERT INTO one VALUES ('t.html', 'a.html');
CREATE TABLE three (tpl TEXT, out TEXT);
INSERT INTO three VALUES ('t.html', 'a.html'), ('t.html', 'b.html'), ('t.html', 'c.html');
CREATE TABLE forty (id INTEGER, tpl TEXT, out TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40)
INSERT INTO forty SELECT i, CASE i WHEN 30 THEN 'gen.html' ELSE 't.html' END,
    CASE i WHEN 5 THEN 'same.html' WHEN 20 THEN 'same.html'
           WHEN 7 THEN '../templates/gen.html' ELSE 'p' || i || '.html' END FROM n;
CREATE TABLE big (tpl TEXT, out TEXT);
INSERT INTO big VALUES ('t.html', 'a.html');
WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 32768)
INSERT INTO big SELECT 't.html', 'p' || i || '.html' FROM n;
