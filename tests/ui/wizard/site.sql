-- SPDX-License-Identifier: Apache-2.0
-- The wizard tests' site: a table of pages with one row, system-looking
-- tables, a table without rows and a view.
create table pages (template_file text, page_file text, title text);
insert into pages values ('a.html', 'a_out.html', 'A');
create table MSysObjects (id integer);
create table msys_lower (id integer);
create table empty_pages (tmpl text, gen text);
create view page_view as select page_file, template_file from pages;
