-- SPDX-License-Identifier: Apache-2.0
-- The site of the global functions' tests: a table of pages, a system
-- table, a table whose name has a blank, an empty one, two views and Big, of
-- one row more than a count may give.
CREATE TABLE Pages (page_id INTEGER, template TEXT, output TEXT);
INSERT INTO Pages VALUES (1, 'a.tpl', 'a.htm'), (2, 'a.tpl', 'b.htm'), (3, 'b.tpl', 'c.htm');
CREATE TABLE MSysObjects (x);
CREATE TABLE "Web Pages" (zeta, alpha, mid);
CREATE TABLE Empty (a);
CREATE VIEW Latest AS SELECT * FROM Pages WHERE page_id > 1;
CREATE VIEW "All.Pages" AS SELECT * FROM Pages;
CREATE TABLE Big (k INTEGER);
WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 32768) INSERT INTO Big SELECT k FROM n;
