-- SPDX-License-Identifier: Apache-2.0
-- The table of the dialect cases on PostgreSQL (its rows: web_pages_rows.sql):
-- a name with a blank, columns in mixed case.
CREATE TABLE "Web Pages"("PageID" int PRIMARY KEY, "Title" varchar(40), "Author Name" text,
                         "Published" timestamp, "Live" boolean, "Price" numeric(10,2), "Note" text);
