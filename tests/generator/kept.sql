-- SPDX-License-Identifier: Apache-2.0
-- The table the kept statements of kept_statements.tsv read.
CREATE TABLE t (id INTEGER PRIMARY KEY, page INTEGER, who TEXT, n INTEGER);
INSERT INTO t (page, who, n) VALUES (1, 'Ann', 3), (1, 'O''Brien', 1), (2, 'Bo', 2), (2, 'Cy', 5), (3, 'Di', 4);
