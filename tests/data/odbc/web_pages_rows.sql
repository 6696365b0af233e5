-- SPDX-License-Identifier: Apache-2.0
-- The rows of the dialect cases' table, the same on PostgreSQL and SQLite.
INSERT INTO "Web Pages" VALUES
    (1, 'Home', 'Zoë', '1995-01-02 10:30:00', TRUE, 14.50, NULL),
    (2, 'About us', 'bob', '1996-07-04 00:00:00', FALSE, 3.25, 'x%y'),
    (3, 'Contact', NULL, '2024-02-29 23:59:59', TRUE, 20, ''),
    (4, 'a_b', 'Bob', NULL, FALSE, NULL, 'Note');
