-- SPDX-License-Identifier: Apache-2.0
-- The checker's site: row 2 uses the template with mistakes, row 3 a
-- template that does not exist and a page folder that does not either.
CREATE TABLE pages (id INTEGER, template TEXT, file TEXT, title TEXT);
INSERT INTO pages VALUES (1, 'good.html', 'site/a.html', 'A'), (2, 'bad.html', 'site/b.html', 'B'),
    (3, 'gone.html', 'nowhere/c.html', 'C'), (4, 'good.html', 'site/d.html', 'D');
CREATE TABLE lines (page INTEGER, name TEXT);
INSERT INTO lines VALUES (1, 'x'), (2, 'y');
