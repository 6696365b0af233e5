-- SPDX-License-Identifier: Apache-2.0
-- A column of each declared type the values test reads, and a view over them.
CREATE TABLE v (i INTEGER, r REAL, c CURRENCY REAL, m money, b BOOLEAN INTEGER,
                d DATETIME TEXT, dn DATETIME, dd DATE, t TIME, s SINGLE REAL, dec DECIMAL(10,2),
                txt TEXT, bl BLOB, any_col);
CREATE VIEW vv AS SELECT * FROM v;
