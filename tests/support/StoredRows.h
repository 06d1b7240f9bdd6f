// SPDX-License-Identifier: GPL-3.0-or-later
// The stored rows of the task database as plain texts, for tests that
// compare what a save wrote: one text per row, its columns joined by "|",
// NULL shown as "-".
#pragma once

#include "store/Statements.h"
#include "store/TaskDatabase.h"

#include <QString>
#include <QStringList>

#include <vector>

inline QStringList Rows(tarnwick::TaskDatabase& db, const QString& select,
                        const std::vector<const char*>& columns)
{
    tarnwick::TaskQuery query(db);
    tarnwick::RunQuery(query, select);
    QStringList rows;
    for (; !query.eof(); query.next()) {
        QStringList cells;
        for (const char* column : columns)
            cells << (query.isNull(column) ? QStringLiteral("-") : query.text(column));
        rows << cells.join(u'|');
    }
    return rows;
}

// Every row of every table, keys included, in row order.
inline QStringList Snapshot(tarnwick::TaskDatabase& db)
{
    QStringList rows;
    for (const tarnwick::sql::SchemaTable& table : tarnwick::sql::kSchemaTables) {
        const QString name = QLatin1String(table.name);
        for (const QString& row : Rows(db, QStringLiteral("select * from %1 order by rowid").arg(name),
                                       std::vector<const char*>(table.columns)))
            rows << name + u':' + row;
    }
    return rows;
}
