-- SPDX-License-Identifier: Apache-2.0
-- The main window tests' site: pages (two rows), other (one of its fields),
-- empty, a view, the system-looking tables MSysObjects and msysLower, and the
-- larger tables of the run tests: many (300 rows), slow (12 rows over
-- slow.html) and mixed (40 rows, every seventh naming a missing template).
create table pages (template_file text, page_file text, title text);
insert into pages values ('page.html', 'one.html', 'One'), ('page.html', 'two.html', 'Two');
create table other (template_file text, name text);
insert into other values ('page.html', 'x');
create table empty (template_file text, page_file text);
create table MSysObjects (id);
create table msysLower (id);
create view titles as select title, page_file from pages;
create table many as with recursive n(i) as (select 0 union all select i + 1 from n where i < 299)
    select 'page.html' as template_file, 'p' || i || '.html' as page_file, 'x' as title from n;
create table slow as with recursive n(i) as (select 1 union all select i + 1 from n where i < 12)
    select 'slow.html' as template_file, 'p' || i || '.html' as page_file, 'x' as title from n;
create table mixed as with recursive n(i) as (select 1 union all select i + 1 from n where i < 40)
    select case when i % 7 = 0 then 'missing.html' else 'page.html' end as template_file,
           'p' || i || '.html' as page_file, 'title ' || i as title from n;
