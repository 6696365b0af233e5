-- SPDX-License-Identifier: Apache-2.0
-- The site of the global functions' tests: a table of pages, a system
-- table, a table whose name has a blank, an empty one and two views.
CREATE TABLE Pages (page_id INTEGER, template TEXT, output TEXT);
INSERT INTO Pages VALUES (1, 'a.tpl', 'a.htm'), (2, 'a.tpl', 'b.htm'), (3, 'b.tpl', 'c.htm');
CREATE TABLE MSysObjects (x);
CREATE TABLE "Web Pages" (zeta, alpha, mid);
CREATE TABLE Empty (a);
CREATE VIEW Latest AS SELECT * FROM Pages WHERE page_id > 1;
CREATE VIEW "All.Pages" AS SELECT * FROM Pages;
