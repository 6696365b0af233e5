-- SPDX-License-Identifier: Apache-2.0
-- Tables, views and an index under plain and blank-holding names, in
-- write-ahead-log mode, for the catalog test.
PRAGMA journal_mode=WAL;
CREATE TABLE Zeta (id INTEGER PRIMARY KEY AUTOINCREMENT, a TEXT);
CREATE TABLE alpha (x);
CREATE VIEW "Web Pages" AS SELECT * FROM alpha;
CREATE TABLE "Web Pages Old" (y);
CREATE INDEX alpha_x ON alpha(x);
CREATE VIEW aview AS SELECT a FROM Zeta;
INSERT INTO Zeta (a) VALUES ('one');
