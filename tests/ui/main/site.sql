-- SPDX-License-Identifier: Apache-2.0
-- The main window tests' site: pages (two rows), other (one of its fields),
-- empty, a view, and the system-looking tables MSysObjects and msysLower.
create table pages (template_file text, page_file text, title text);
insert into pages values ('page.html', 'one.html', 'One'), ('page.html', 'two.html', 'Two');
create table other (template_file text, name text);
insert into other values ('page.html', 'x');
create table empty (template_file text, page_file text);
create table MSysObjects (id);
create table msysLower (id);
create view titles as select title, page_file from pages;
