-- SPDX-License-Identifier: Apache-2.0
-- The authors and pages of the PostgreSQL source: the SQLite source's,
-- with a column of each further kind.
CREATE TABLE authors(id int PRIMARY KEY, name text);
CREATE TABLE pages(id int PRIMARY KEY, author_id int REFERENCES authors, title varchar(40),
                   views bigint, small smallint, price numeric(12,4), cost money,
                   rating real, ratio double precision, live boolean, published date,
                   stamp timestamp, at time, body text, data bytea, note text);
INSERT INTO authors VALUES (1, 'Zoë Ångström'), (2, 'Bob');
INSERT INTO pages VALUES
    (1, 1, 'Home', 9000000000, 7, 12345.6780, 1234.50, 1.5, 0.1, true, '2024-02-29',
     '2024-02-29 13:45:07', '08:09:10', 'Grüße ✓', '\x00ff10', ''),
    (2, 2, 'About', -1, -2, -0.5000, -3, NULL, NULL, false, NULL, NULL, NULL, NULL, NULL, NULL);
CREATE VIEW page_list AS SELECT p.title, a.name FROM pages p JOIN authors a ON a.id = p.author_id;

