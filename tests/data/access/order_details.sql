-- SPDX-License-Identifier: Apache-2.0
-- The table the Access SQL cases run on: text compared as Access compares it,
-- currency, dates and Yes/No as Access files store them.
CREATE TABLE "Order Details" (id INTEGER, name TEXT COLLATE access_text, region TEXT COLLATE access_text,
                              price CURRENCY REAL, shipped DATETIME TEXT, done BOOLEAN INTEGER);
INSERT INTO "Order Details" VALUES
    (1, 'London', NULL, 14, '1995-01-01', -1),
    (2, 'london', 'WA', 3.0125, '1996-07-04 10:30:00', 0),
    (3, 'Äpfel', '', 9.5, NULL, 0),
    (4, 'äpfel', 'OR', 20, '1899-12-30 08:00:00', -1),
    (5, 'Berlin', NULL, 1, '1994-12-31 23:59:59', 0);
