-- SPDX-License-Identifier: Apache-2.0
-- The table of the dialect cases on SQLite: PostgreSQL's, with SQLite's types.
CREATE TABLE "Web Pages"("PageID" INTEGER PRIMARY KEY, "Title" TEXT, "Author Name" TEXT,
                         "Published" DATETIME, "Live" BOOLEAN, "Price" REAL, "Note" TEXT);
