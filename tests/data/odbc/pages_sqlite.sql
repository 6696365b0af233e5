-- SPDX-License-Identifier: Apache-2.0
-- The authors and pages of the SQLite3 ODBC source.
CREATE TABLE authors(id INTEGER PRIMARY KEY, name TEXT);
CREATE TABLE pages(id INTEGER PRIMARY KEY, author_id INTEGER, title TEXT, views BIGINT,
                   rating REAL, published DATE, body TEXT, data BLOB, note TEXT);
INSERT INTO authors VALUES (1, 'Zoë Ångström'), (2, 'Bob');
INSERT INTO pages VALUES
    (1, 1, 'Home', 9000000000, 0.1, '2024-02-29', 'Grüße ✓', x'00ff10', ''),
    (2, 2, 'About', -7, NULL, NULL, NULL, NULL, NULL);
CREATE VIEW page_list AS SELECT p.title, a.name FROM pages p JOIN authors a ON a.id = p.author_id;

