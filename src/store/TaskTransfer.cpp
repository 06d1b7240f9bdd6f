// SPDX-License-Identifier: GPL-3.0-or-later
// The task document. Reading checks the whole document before the first
// row is written, so a damaged or foreign file is refused with a message
// naming the place, and the database stays as it was.
#include "store/TaskTransfer.h"

#include "store/DateTexts.h"
#include "store/Identifiers.h"
#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskChecks.h"
#include "store/TaskList.h"
#include "store/TaskOptionValues.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace tarnwick {

namespace {

QJsonObject ScheduleObject(const ScheduleEntry& entry)
{
    QJsonObject object;
    object.insert(QStringLiteral("kind"), static_cast<int>(entry.kind));
    switch (entry.kind) {
    case ScheduleKind::WithinWeek:
        object.insert(QStringLiteral("weekMask"), entry.weekMask);
        break;
    case ScheduleKind::Once:
        object.insert(QStringLiteral("onceDate"), DateText(entry.onceDate));
        break;
    default:
        object.insert(QStringLiteral("value"), entry.value);
        break;
    }
    object.insert(QStringLiteral("startTime"),
                  entry.startTime.isEmpty() ? QString::fromLatin1(kNoStartTime) : entry.startTime);
    return object;
}

} // namespace

QJsonObject TaskDocumentObject(const TaskRecord& task)
{
    QJsonArray sources;
    for (const TaskSource& source : task.sources)
        sources.append(QJsonObject{{QStringLiteral("path"), source.path},
                                   {QStringLiteral("subfolders"), source.includeSubfolders}});
    QJsonArray schedules;
    if (task.runMode == TaskRunMode::Scheduled) {
        for (const TaskScheduleItem& item : task.schedules)
            schedules.append(ScheduleObject(item.entry));
    }
    QJsonArray rules;
    if (task.excludeMode) {
        for (const ExcludeRule& rule : task.rules)
            rules.append(QJsonObject{{QStringLiteral("type"), rule.type},
                                     {QStringLiteral("stype"), rule.stype},
                                     {QStringLiteral("sstype"), rule.sstype},
                                     {QStringLiteral("value"), rule.value},
                                     {QStringLiteral("endDate"), rule.endDate}});
    }
    QJsonObject object{{QStringLiteral("id"), task.taskId},
                       {QStringLiteral("group"), task.groupId},
                       {QStringLiteral("name"), task.name},
                       {QStringLiteral("target"), task.targetDir},
                       {QStringLiteral("start"), RunModeName(task.runMode)},
                       {QStringLiteral("sources"), sources},
                       {QStringLiteral("schedules"), schedules},
                       {QStringLiteral("rules"), rules},
                       {QStringLiteral("keepVersions"), task.extras.keepVersions},
                       {QStringLiteral("versionsFolder"), task.extras.versionsFolder},
                       {QStringLiteral("whenTargetAppears"), task.extras.whenTargetAppears},
                       {QStringLiteral("parallel"), task.extras.parallel}};
    // Written only when set, so files of tasks without it read as before.
    if (task.extras.fullWalkAlways)
        object.insert(QStringLiteral("fullWalkAlways"), true);
    return object;
}

QJsonObject GroupDocumentObject(const TaskGroupRow& group)
{
    return QJsonObject{{QStringLiteral("id"), group.groupId},
                       {QStringLiteral("name"), group.name}};
}

namespace {

// Reading, with the place of every value in its messages.
class DocumentReader
{
public:
    explicit DocumentReader(QString where) : m_where(std::move(where)) {}

    [[noreturn]] void fail(const QString& why) const
    {
        throw TaskDocumentError(QStringLiteral("%1: %2").arg(m_where, why));
    }

    bool has(const QJsonObject& object, const char* key) const
    {
        return object.contains(QLatin1StringView(key));
    }
    QJsonValue field(const QJsonObject& object, const char* key) const
    {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (value.isUndefined())
            fail(QStringLiteral("'%1' is missing").arg(QLatin1StringView(key)));
        return value;
    }
    QString text(const QJsonObject& object, const char* key) const
    {
        const QJsonValue value = field(object, key);
        if (!value.isString())
            fail(QStringLiteral("'%1' must be a text").arg(QLatin1StringView(key)));
        const QString text = value.toString();
        // Caught here, where the place is known: a NUL or a line break in
        // a stored text would reach the log, the terminal and the statements.
        if (HasControlCharacter(text))
            fail(QStringLiteral("'%1' holds a control character").arg(QLatin1StringView(key)));
        return text;
    }
    bool boolean(const QJsonObject& object, const char* key) const
    {
        const QJsonValue value = field(object, key);
        if (!value.isBool())
            fail(QStringLiteral("'%1' must be true or false").arg(QLatin1StringView(key)));
        return value.toBool();
    }
    qint64 integer(const QJsonObject& object, const char* key, qint64 low, qint64 high) const
    {
        const QJsonValue value = field(object, key);
        const double number = value.toDouble();
        if (!value.isDouble() || std::floor(number) != number ||
            number < static_cast<double>(low) || number > static_cast<double>(high))
            fail(QStringLiteral("'%1' must be a whole number from %2 to %3")
                     .arg(QLatin1StringView(key))
                     .arg(low)
                     .arg(high));
        return static_cast<qint64>(number);
    }
    QJsonArray array(const QJsonObject& object, const char* key) const
    {
        const QJsonValue value = field(object, key);
        if (!value.isArray())
            fail(QStringLiteral("'%1' must be a list").arg(QLatin1StringView(key)));
        return value.toArray();
    }
    QJsonObject objectAt(const QJsonArray& array, qsizetype index, const QString& what) const
    {
        const QJsonValue value = array.at(index);
        if (!value.isObject())
            fail(QStringLiteral("%1 %2 must be an object").arg(what).arg(index + 1));
        return value.toObject();
    }

private:
    QString m_where;
};

bool IsDateText(const QString& text)
{
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid() && text.size() == 10;
}

bool IsFlags(const QString& text, qsizetype length)
{
    static const QRegularExpression flags(QStringLiteral("^[01]*$"));
    return text.size() == length && flags.match(text).hasMatch();
}

ScheduleEntry ReadSchedule(const DocumentReader& reader, const QJsonObject& object)
{
    ScheduleEntry entry;
    const qint64 kind = reader.integer(object, "kind", 0, 5);
    entry.kind = static_cast<ScheduleKind>(kind);
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        entry.value = reader.integer(object, "value", 2, 1000);
        break;
    case ScheduleKind::EveryHours:
    case ScheduleKind::EveryDays:
        entry.value = reader.integer(object, "value", 1, 1000);
        break;
    case ScheduleKind::WithinMonth:
        entry.value = reader.integer(object, "value", 1, 28);
        break;
    case ScheduleKind::WithinWeek:
        entry.weekMask = reader.text(object, "weekMask");
        if (!IsFlags(entry.weekMask, 7) || !entry.weekMask.contains(u'1'))
            reader.fail(QStringLiteral("'weekMask' must be seven 0 or 1, at least one 1"));
        break;
    case ScheduleKind::Once: {
        const QString date = reader.text(object, "onceDate");
        if (!IsDateText(date))
            reader.fail(QStringLiteral("'onceDate' must be a date as YYYY-MM-DD"));
        entry.onceDate = QDate::fromString(date, QStringLiteral("yyyy-MM-dd"));
        break;
    }
    default:
        break;
    }
    entry.startTime = reader.text(object, "startTime");
    if (entry.startTime != QLatin1StringView(kNoStartTime) &&
        TimeText(QTime::fromString(entry.startTime, QStringLiteral("HH:mm:ss"))) != entry.startTime)
        reader.fail(QStringLiteral("'startTime' must be \"0\" or a time as HH:MM:SS"));
    return entry;
}

ExcludeRule ReadRule(const DocumentReader& reader, const QJsonObject& object)
{
    ExcludeRule rule;
    rule.type = reader.integer(object, "type", 0, 4);
    rule.stype = reader.integer(object, "stype", 0, 2);
    rule.sstype = reader.integer(object, "sstype", 0, 2);
    rule.value = reader.text(object, "value");
    rule.endDate = reader.text(object, "endDate");
    static const QRegularExpression digits(QStringLiteral("^\\s*\\d+\\s*$"));
    const bool numeric = digits.match(rule.value).hasMatch();
    switch (rule.type) {
    case 2:
        if (!numeric)
            reader.fail(QStringLiteral("the size rule's 'value' must be a number"));
        break;
    case 3:
        if (rule.sstype == 2 && !(IsDateText(rule.value) && IsDateText(rule.endDate)))
            reader.fail(QStringLiteral("a date rule between two dates needs 'value' and "
                                       "'endDate' as YYYY-MM-DD"));
        if (rule.sstype != 2 && !numeric)
            reader.fail(QStringLiteral("the date rule's 'value' must be a number"));
        break;
    case 4:
        if (!IsFlags(rule.value, 6))
            reader.fail(QStringLiteral("the attribute rule's 'value' must be six 0 or 1"));
        break;
    default:
        break;
    }
    // What the editors would refuse, an import refuses too.
    if (const std::optional<QString> refusal = CheckExcludeRule(rule))
        reader.fail(*refusal);
    return rule;
}

QString ReadIdentifier(const DocumentReader& reader, const QJsonObject& object)
{
    const QString id = reader.text(object, "id").trimmed();
    if (id.isEmpty())
        reader.fail(QStringLiteral("'id' is empty"));
    if (id.size() > limits::kIdentifier)
        reader.fail(QStringLiteral("'id' has at most %1 characters").arg(limits::kIdentifier));
    return id;
}

TaskRecord ReadTask(const QJsonObject& object, qsizetype index, const Clock& clock)
{
    DocumentReader reader(QStringLiteral("task %1").arg(index + 1));
    TaskRecord task;
    task.taskId = ReadIdentifier(reader, object);
    // The tree's root has that identifier: a task of it would stand in for
    // the whole list.
    if (task.taskId == QLatin1StringView(kAllTaskGroupID))
        reader.fail(QStringLiteral("'id' must be a task identifier"));
    task.groupId = reader.text(object, "group");
    task.name = reader.text(object, "name");
    task.targetDir = reader.text(object, "target");
    const QString start = reader.text(object, "start");
    if (const std::optional<TaskRunMode> mode = RunModeFromName(start))
        task.runMode = *mode;
    else
        reader.fail(QStringLiteral("'start' must be \"manual\", \"on-change\" or \"scheduled\""));

    const QJsonArray sources = reader.array(object, "sources");
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const QJsonObject source = reader.objectAt(sources, i, QStringLiteral("source"));
        task.sources.append({reader.text(source, "path"), reader.boolean(source, "subfolders")});
    }
    const QJsonArray schedules = reader.array(object, "schedules");
    for (qsizetype i = 0; i < schedules.size(); ++i) {
        TaskScheduleItem item;
        item.entry =
            ReadSchedule(reader, reader.objectAt(schedules, i, QStringLiteral("schedule")));
        if (const std::optional<QString> refusal = CheckScheduleEntry(item.entry, clock))
            reader.fail(QStringLiteral("schedule %1: %2").arg(i + 1).arg(*refusal));
        task.schedules.append(item);
    }
    if (task.runMode != TaskRunMode::Scheduled && !task.schedules.isEmpty())
        reader.fail(QStringLiteral("only a task with \"start\": \"scheduled\" has schedules"));
    const QJsonArray rules = reader.array(object, "rules");
    for (qsizetype i = 0; i < rules.size(); ++i)
        task.rules.append(ReadRule(reader, reader.objectAt(rules, i, QStringLiteral("rule"))));
    // Added after the first documents: a document without them keeps the
    // defaults.
    if (reader.has(object, "keepVersions"))
        task.extras.keepVersions =
            static_cast<int>(reader.integer(object, "keepVersions", 0, kMaxKeepVersions));
    if (reader.has(object, "versionsFolder"))
        task.extras.versionsFolder = reader.text(object, "versionsFolder");
    if (reader.has(object, "whenTargetAppears"))
        task.extras.whenTargetAppears = reader.boolean(object, "whenTargetAppears");
    if (reader.has(object, "fullWalkAlways"))
        task.extras.fullWalkAlways = reader.boolean(object, "fullWalkAlways");
    if (reader.has(object, "parallel"))
        task.extras.parallel = static_cast<int>(reader.integer(object, "parallel", 0, kMaxParallel));
    task.excludeMode = !task.rules.isEmpty();

    // The task editor's checks, with its messages.
    if (const auto failure = ValidateTask(task))
        reader.fail(failure->message);
    return task;
}

bool IdTaken(TaskDatabase& db, const char* statement, const QString& id)
{
    TaskQuery query(db);
    RunQuery(query, FillStatement(statement, {id}));
    return !query.eof() && query.integer("Taken") > 0;
}

} // namespace

QByteArray ExportTasks(TaskDatabase& db, QStringList* unreadable)
{
    QJsonArray groups;
    for (const TaskGroupRow& group : ReadTaskGroups(db))
        groups.append(GroupDocumentObject(group));
    QJsonArray tasks;
    for (const TaskListRow& row :
         ReadTaskList(db, QString::fromLatin1(kAllTaskGroupID), unreadable)) {
        try {
            tasks.append(TaskDocumentObject(LoadTask(db, row.taskId)));
        } catch (const StoreError& e) {
            if (unreadable)
                unreadable->append(UnreadableTaskText(row.taskId, e.message()));
        }
    }
    const QJsonObject root{{QStringLiteral("format"), QString::fromLatin1(kTaskDocumentFormat)},
                           {QStringLiteral("version"), kTaskDocumentVersion},
                           {QStringLiteral("groups"), groups},
                           {QStringLiteral("tasks"), tasks}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ImportReport ImportTasks(TaskDatabase& db, const QByteArray& document, const Clock& clock)
{
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw TaskDocumentError(QStringLiteral("not JSON: %1 at byte %2")
                                    .arg(parseError.errorString())
                                    .arg(parseError.offset));
    const DocumentReader top(QStringLiteral("the document"));
    if (!json.isObject())
        top.fail(QStringLiteral("it is no JSON object"));
    const QJsonObject root = json.object();
    if (root.value(QLatin1StringView("format")).toString() !=
        QLatin1StringView(kTaskDocumentFormat))
        top.fail(QStringLiteral("it is no Tarnwick task document (\"format\" is not \"%1\")")
                     .arg(QLatin1StringView(kTaskDocumentFormat)));
    const qint64 version = top.integer(root, "version", 1, 1000000);
    if (version > kTaskDocumentVersion)
        top.fail(QStringLiteral("it has version %1; this Tarnwick reads version %2 and older")
                     .arg(version)
                     .arg(kTaskDocumentVersion));

    struct Group
    {
        QString id;
        QString name;
    };
    QList<Group> groups;
    const QJsonArray groupArray = top.array(root, "groups");
    for (qsizetype i = 0; i < groupArray.size(); ++i) {
        const DocumentReader reader(QStringLiteral("group %1").arg(i + 1));
        const QJsonObject object = top.objectAt(groupArray, i, QStringLiteral("group"));
        Group group{ReadIdentifier(reader, object), reader.text(object, "name")};
        if (group.id == QLatin1StringView(kAllTaskGroupID))
            reader.fail(QStringLiteral("'id' must be a group identifier"));
        if (const std::optional<QString> refusal = CheckGroupName(group.name))
            reader.fail(*refusal);
        groups.append(group);
    }
    QSet<QString> knownGroups{QString::fromLatin1(kAllTaskGroupID)};
    for (const Group& group : std::as_const(groups))
        knownGroups.insert(group.id);
    for (const TaskGroupRow& group : ReadTaskGroups(db))
        knownGroups.insert(group.groupId);
    QList<TaskRecord> tasks;
    const QJsonArray taskArray = top.array(root, "tasks");
    for (qsizetype i = 0; i < taskArray.size(); ++i) {
        TaskRecord task = ReadTask(top.objectAt(taskArray, i, QStringLiteral("task")), i, clock);
        // A task in no known group would be in no list of the window.
        if (!knownGroups.contains(task.groupId.trimmed()))
            throw TaskDocumentError(
                QStringLiteral("task %1: the group '%2' is neither in the document nor in "
                               "the database")
                    .arg(i + 1)
                    .arg(task.groupId));
        tasks.append(std::move(task));
    }

    ImportReport report;
    StoreTransaction transaction(db);
    QHash<QString, QString> newGroupIds;
    for (const Group& group : std::as_const(groups)) {
        QString id = group.id;
        if (IdTaken(db, sql::CountGroupID, id)) {
            id = NewGroupID(db, clock);
            report.renamed << QStringLiteral("group '%1': the ID %2 was taken; it has the ID %3")
                                  .arg(group.name, group.id, id);
        }
        if (!newGroupIds.contains(group.id))
            newGroupIds.insert(group.id, id);
        AddTaskGroup(db, id, group.name);
        ++report.groups;
    }
    // Tasks whose identifier is free first, so that a new identifier given
    // to a clashing one never takes the one a later task of the document
    // brings along.
    QList<TaskRecord> clashing;
    for (TaskRecord task : std::as_const(tasks)) {
        task.groupId = newGroupIds.value(task.groupId.trimmed(), task.groupId);
        if (IdTaken(db, sql::CountTaskID, task.taskId)) {
            clashing.append(task);
            continue;
        }
        SaveTask(db, task, TaskSaveMode::New, clock);
        ++report.tasks;
    }
    for (TaskRecord task : std::as_const(clashing)) {
        const QString oldId = task.taskId;
        task.taskId = NewTaskID(db, clock);
        report.renamed << QStringLiteral("task '%1': the ID %2 was taken; it has the ID %3")
                              .arg(task.name, oldId, task.taskId);
        SaveTask(db, task, TaskSaveMode::New, clock);
        ++report.tasks;
    }
    transaction.commit();
    return report;
}

} // namespace tarnwick
