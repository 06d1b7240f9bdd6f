// SPDX-License-Identifier: GPL-3.0-or-later
// Every statement the program sends to the task database, in one place.
// The texts are fixed templates: spacing, brackets and letter case are part
// of them. Fill them with FillStatement (TaskDatabase.h): %s takes a text,
// %d a number.
#pragma once

#include <initializer_list>

namespace tarnwick::sql {

// The password the task database file is keyed with.
inline constexpr char DatabaseKey[] = "27190436";

// The engine turns the password into the file's key with 64,000 rounds of
// PBKDF2-HMAC-SHA1 over the salt in the file's first 16 bytes, some 30 ms
// at every open. The password is fixed and known, so the rounds protect
// nothing; files this program makes carry a fixed salt, and for them the
// key is derived once, here, and given to the engine as it is. The
// password still opens them (the sqlcipher shell, older builds), and files
// with any other salt are opened with the password.
//   DatabaseRawKey = PBKDF2-HMAC-SHA1(DatabaseKey, DatabaseSalt, 64000, 32)
inline constexpr char DatabaseSalt[] = "TarnwickTaskDB01"; // 16 bytes, no terminator in the file
inline constexpr char DatabaseSaltHex[] = "5461726e7769636b5461736b44423031";
inline constexpr char DatabaseRawKeyHex[] =
    "ebf88ae73ef327c133c63bd7d2316f809fc6b51a9b161a99afc7744d5cc3612c";

// The schema of an empty task database. UNIQUE identifiers make a clash fail
// loudly instead of merging two tasks' rows; the CHECKs refuse a text that
// is not a date-time, as a date-time column would. They take exactly the
// three stored forms that DateTimeFromText reads back (yyyy-MM-dd,
// yyyy-MM-dd HH:mm:ss, HH:mm:ss) and NULL: datetime() alone would also let
// in "now", "2030-01-01 09:00", a 'T', a Julian day number, February 30 and
// 24:00:00, which the program then cannot read. GLOB fixes the shape; the
// '+0' modifier makes the engine normalise the value, so a day or time that
// does not exist comes back different (or NULL, hence IS: a CHECK that
// comes out NULL passes) and is refused. Year 0 exists for the engine but
// not for the program. A file made before keeps its schema.
inline constexpr char CreateSchema[] =
    "CREATE TABLE TaskGroup (TaskGroupID TEXT UNIQUE, Name TEXT);"
    "CREATE TABLE Task (TaskID TEXT UNIQUE, TaskGroupID TEXT, TaskName TEXT,"
    " SourceDir TEXT, TargetDir TEXT, ScheduleType INTEGER);"
    "CREATE TABLE SourceDir (TaskID TEXT, SourceDir TEXT, IncludeSubDir INTEGER);"
    "CREATE TABLE Exclude (ExcludeID INTEGER PRIMARY KEY AUTOINCREMENT, TaskID TEXT,"
    " type INTEGER, stype INTEGER, sstype INTEGER, value TEXT, EndDate TEXT);"
    "CREATE TABLE TaskSchedule (TaskSchID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " TaskID TEXT, ScheduleType INTEGER, value INTEGER, withweek TEXT, StartTime TEXT,"
    " LastRunTime TEXT CHECK (LastRunTime IS NULL"
    "  OR (LastRunTime GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'"
    "      AND LastRunTime NOT GLOB '0000*' AND date(LastRunTime, '+0 days') IS LastRunTime)"
    "  OR (LastRunTime GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
    "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"
    "      AND LastRunTime NOT GLOB '0000*' AND datetime(LastRunTime, '+0 seconds') IS LastRunTime)"
    "  OR (LastRunTime GLOB '[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"
    "      AND time(LastRunTime, '+0 seconds') IS LastRunTime)),"
    " NextRunTime TEXT CHECK (NextRunTime IS NULL"
    "  OR (NextRunTime GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'"
    "      AND NextRunTime NOT GLOB '0000*' AND date(NextRunTime, '+0 days') IS NextRunTime)"
    "  OR (NextRunTime GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
    "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"
    "      AND NextRunTime NOT GLOB '0000*' AND datetime(NextRunTime, '+0 seconds') IS NextRunTime)"
    "  OR (NextRunTime GLOB '[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'"
    "      AND time(NextRunTime, '+0 seconds') IS NextRunTime)));"
    "CREATE INDEX SourceDirTask ON SourceDir(TaskID);"
    "CREATE INDEX ExcludeTask ON Exclude(TaskID);"
    "CREATE INDEX TaskScheduleTask ON TaskSchedule(TaskID);";

// Tables beside the first five: how each run ended, and options of a task
// beyond its own columns. Made at every open for changes (IF NOT EXISTS),
// so that a file made by an older build gets them then; a file that is
// read-only works without them, and a file is never refused for lacking
// them.
inline constexpr char CreateAddedTables[] =
    "CREATE TABLE IF NOT EXISTS RunHistory (RunID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " TaskID TEXT, StartTime TEXT, EndTime TEXT, CopiedFiles INTEGER, CopiedBytes INTEGER,"
    " SkippedFiles INTEGER, Errors INTEGER, Outcome INTEGER, FirstError TEXT, Seen INTEGER);"
    "CREATE INDEX IF NOT EXISTS RunHistoryTask ON RunHistory(TaskID, RunID);"
    "CREATE TABLE IF NOT EXISTS TaskOption (TaskID TEXT, Name TEXT, Value TEXT,"
    " UNIQUE (TaskID, Name));";
inline constexpr char CountAddedTables[] =
    "select count(*) as Found from sqlite_master where type='table' and name in "
    "('RunHistory', 'TaskOption')";

// The tables and the columns the statements below use: what a file must
// have to be taken for a task database.
struct SchemaTable
{
    const char* name;
    std::initializer_list<const char*> columns;
};
inline constexpr SchemaTable kSchemaTables[] = {
    {"TaskGroup", {"TaskGroupID", "Name"}},
    {"Task", {"TaskID", "TaskGroupID", "TaskName", "SourceDir", "TargetDir", "ScheduleType"}},
    {"SourceDir", {"TaskID", "SourceDir", "IncludeSubDir"}},
    {"Exclude", {"ExcludeID", "TaskID", "type", "stype", "sstype", "value", "EndDate"}},
    {"TaskSchedule",
     {"TaskSchID", "TaskID", "ScheduleType", "value", "withweek", "StartTime", "LastRunTime",
      "NextRunTime"}},
};

// TaskGroup
inline constexpr char SelectGroups[] = "select * from TaskGroup";
inline constexpr char InsertGroup[] =
    "insert into TaskGroup([TaskGroupID],[Name]) values('%s', '%s')";
inline constexpr char RenameGroup[] = "update TaskGroup set [Name]='%s' where [TaskGroupID]='%s' ";
inline constexpr char DeleteGroup[] = "delete from TaskGroup where [TaskGroupID]= '%s'";

// Task
inline constexpr char SelectAllTaskRows[] =
    "select TaskID, TaskName, SourceDir, ScheduleType,TargetDir from Task";
inline constexpr char SelectGroupTaskRows[] =
    "select TaskID, TaskName, SourceDir, ScheduleType,TargetDir from Task where TaskGroupID='%s'";
inline constexpr char SelectTaskForEditor[] =
    "select TaskGroupID,TaskName,TargetDir,ScheduleType from Task where TaskID='%s' ";
inline constexpr char InsertTask[] =
    "insert into Task([TaskID],[TaskGroupID],[TaskName],[SourceDir],[TargetDir],[ScheduleType]) "
    "values('%s','%s','%s','%s','%s', %d)";
inline constexpr char DeleteTask[] = "delete from Task where [TaskID]= '%s'";
inline constexpr char SelectTaskForRun[] =
    "select [TaskName],[TargetDir] from Task where [TaskID]='%s'";
inline constexpr char SelectTaskRunMode[] = "select ScheduleType from Task where TaskID='%s'";
inline constexpr char SelectWatchedTasks[] = "select [TaskID] from Task where ScheduleType=1";

// SourceDir
inline constexpr char SelectSourcesForEditor[] =
    "select SourceDir,IncludeSubDir from SourceDir  where  TaskID='%s'";
inline constexpr char SelectSourcesForRun[] =
    "select SourceDir,IncludeSubDir from SourceDir where TaskID='%s'";
inline constexpr char SelectWatchedFolders[] =
    "select [SourceDir] from SourceDir where TaskID='%s'";
inline constexpr char InsertSource[] =
    "insert into SourceDir([TaskID],[SourceDir],[IncludeSubDir]) values('%s','%s','%d')";
inline constexpr char DeleteSources[] = "delete from SourceDir where [TaskID]= '%s'";

// Exclude
inline constexpr char SelectRulesForEditor[] = "select * from Exclude where TaskID='%s' ";
inline constexpr char SelectRulesForRun[] = "select * from Exclude where [TaskID]='%s'";
inline constexpr char InsertRule[] =
    "insert into Exclude([TaskID], [type], [value]) values('%s', %d, '%s')";
inline constexpr char InsertSizeRule[] =
    "insert into Exclude([TaskID], [type], [stype], [sstype], [value]) values('%s', %d, %d, %d, "
    "'%s')";
inline constexpr char InsertDateRule[] =
    "insert into Exclude([TaskID], [type], [stype], [sstype], [value], [EndDate]) values('%s', "
    "%d, %d, %d, '%s', '%s')";
inline constexpr char DeleteRules[] = "delete from Exclude where [TaskID]= '%s'";

// TaskSchedule
inline constexpr char SelectLastRunTime[] =
    "select max(LastRunTime) as LastRunTime from TaskSchedule where TaskID='%s'";
inline constexpr char SelectNextRunTime[] =
    "select min(NextRunTime) as NextRunTime from TaskSchedule where TaskID='%s'";
inline constexpr char SelectNextRunTimeAfterSave[] =
    "select min(NextRunTime) as NextRunTime from TaskSchedule where [TaskID]='%s'";
inline constexpr char SelectNextRunTimeAfterRun[] =
    "select Min(NextRunTime) as NextRunTime from TaskSchedule where TaskID='%s'";
inline constexpr char SelectSchedulesForEditor[] = "select * from TaskSchedule where TaskID='%s' ";
inline constexpr char SelectSchedulesAfterRun[] = "select * from TaskSchedule where TaskID='%s'";
inline constexpr char SelectSchedulesAtStartup[] =
    "select * from TaskSchedule where ScheduleType>=0 and ScheduleType<7";
inline constexpr char SelectSchedulesToCheck[] =
    "select TaskID, ScheduleType, NextRunTime, StartTime from TaskSchedule where ScheduleType>=0 "
    "and ScheduleType<7 ";
inline constexpr char UpdateNextRunTime[] =
    "Update TaskSchedule set [NextRunTime]='%s' where TaskSchID=%d";
inline constexpr char UpdateRunTimes[] =
    "Update TaskSchedule set [NextRunTime]='%s',[LastRunTime]='%s' where TaskSchID=%d";
inline constexpr char InsertManualRow[] =
    "insert into TaskSchedule([TaskID], [ScheduleType], [LastRunTime]) values('%s', 19, '%s')";
inline constexpr char InsertOnChangeRow[] =
    "insert into TaskSchedule([TaskID], [ScheduleType], [LastRunTime]) values('%s', 20, '%s')";
inline constexpr char InsertIntervalEntry[] =
    "insert into TaskSchedule(TaskID, [ScheduleType], [value], [LastRunTime], [NextRunTime], "
    "[StartTime]) values('%s', %d, %d, '%s', '%s', '%s')";
inline constexpr char InsertWeekEntry[] =
    "insert into TaskSchedule([TaskID], [ScheduleType], [withweek], [StartTime], [LastRunTime], "
    "[NextRunTime]) values('%s', '%d', '%s', '%s', '%s', '%s')";
inline constexpr char InsertMonthEntry[] =
    "insert into TaskSchedule([TaskID], [ScheduleType], [value], [StartTime], [LastRunTime], "
    "[NextRunTime]) values('%s', '%d', '%s', '%s', '%s', '%s')";
inline constexpr char InsertOnceEntry[] =
    "insert into TaskSchedule([TaskID], [ScheduleType], [StartTime], [LastRunTime], "
    "[NextRunTime]) values('%s', '%d', '%s', '%s', '%s')";
inline constexpr char DeleteSchedules[] = "delete from TaskSchedule where [TaskID]= '%s'";

// RunHistory: the newest runs of each task, newest first.
inline constexpr char InsertRun[] =
    "insert into RunHistory([TaskID],[StartTime],[EndTime],[CopiedFiles],[CopiedBytes],"
    "[SkippedFiles],[Errors],[Outcome],[FirstError],[Seen]) "
    "values('%s','%s','%s',%d,%d,%d,%d,%d,'%s',%d)";
inline constexpr char PruneRuns[] =
    "delete from RunHistory where [TaskID]='%s' and RunID not in (select RunID from RunHistory "
    "where [TaskID]='%s' order by RunID desc limit %d)";
inline constexpr char SelectRuns[] =
    "select * from RunHistory where [TaskID]='%s' order by RunID desc";
inline constexpr char SelectLastRuns[] =
    "select * from RunHistory where RunID in (select max(RunID) from RunHistory group by TaskID)";
inline constexpr char MarkRunsSeen[] =
    "update RunHistory set [Seen]=1 where [TaskID]='%s' and [Seen]=0";
inline constexpr char DeleteRuns[] = "delete from RunHistory where [TaskID]= '%s'";

// TaskOption: one value per task and name.
inline constexpr char SelectTaskOptions[] =
    "select Name, Value from TaskOption where [TaskID]='%s'";
inline constexpr char SetTaskOption[] =
    "insert or replace into TaskOption([TaskID],[Name],[Value]) values('%s','%s','%s')";
inline constexpr char DeleteTaskOption[] =
    "delete from TaskOption where [TaskID]='%s' and [Name]='%s'";
inline constexpr char DeleteTaskOptions[] = "delete from TaskOption where [TaskID]= '%s'";
inline constexpr char SelectTasksRunWhenTargetAppears[] =
    "select Task.TaskID as TaskID, Task.TargetDir as TargetDir from Task join TaskOption on "
    "TaskOption.TaskID = Task.TaskID where TaskOption.Name = 'WhenTargetAppears' and "
    "TaskOption.Value = '1' order by Task.rowid";

} // namespace tarnwick::sql

namespace tarnwick::sql {

// Look-ups that keep a newly made identifier from reusing a stored one.
inline constexpr char CountTaskID[] = "select count(*) as Taken from Task where [TaskID]='%s'";
inline constexpr char CountGroupID[] =
    "select count(*) as Taken from TaskGroup where [TaskGroupID]='%s'";

} // namespace tarnwick::sql
