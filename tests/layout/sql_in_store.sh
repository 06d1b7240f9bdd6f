#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every statement of the task database lives in the store (its catalogue and
# its own functions): no other floor builds, prepares or runs SQL, so a
# change of a table is a change of one floor. A line that does is printed
# and fails the test.
src="$1"
out=$(grep -rnE \
    'sql::|RunQuery\(|RunStatement\(|sqlite3_[a-z_]+\(|store/Statements\.h|"(select|insert into|update|delete from|create table|drop table|alter table|pragma|SELECT|INSERT INTO|UPDATE|DELETE FROM|CREATE TABLE|PRAGMA) ' \
    --include='*.cpp' --include='*.h' "$src" | grep -v "^$src/store/")
if [ -n "$out" ]; then
    printf 'SQL outside the store: %s\n' "$out"
    exit 1
fi
exit 0
