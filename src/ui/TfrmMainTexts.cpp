// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's tables of texts.
#include "ui/TfrmMainTexts.h"

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in the main window. The Language
// menu keeps its caption in every language.
constexpr LanguageRow kLanguageRows[] = {
    {"Menu", "mnuFile.Caption", "mnuFile"},
    {"Menu", "mnuTaskNew.Caption", "mnuTaskNew"},
    {"Menu", "mnuTaskEdt.Caption", "mnuTaskEdit"},
    {"Menu", "mnuTaskDel.Caption", "mnuTaskDel"},
    {"Menu", "mnuGroupNew.Caption", "mnuGroupNew"},
    {"Menu", "mnuGroupRen.Caption", "mnuGroupRen"},
    {"Menu", "mnuGroupDel.Caption", "mnuGroupDel"},
    {"Menu", "mnuExit.Caption", "mnuExit"},
    {"Menu", "mnuView.Caption", "mnuView"},
    {"Menu", "mnuToolBax.Caption", "mnuToolBax"},
    {"Menu", "mnuTaskGroup.Caption", "mnuTaskGroup"},
    {"Menu", "mnuLog.Caption", "mnuLog"},
    {"Menu", "mnuStatusBar.Caption", "mnuStatusBar"},
    {"Menu", "mnuLargeIcon.Caption", "mnuLargeIcon"},
    {"Menu", "mnuSmallIcon.Caption", "mnuSmallIcon"},
    {"Menu", "mnuList.Caption", "mnuList"},
    {"Menu", "mnuDetailed.Caption", "mnuDetailed"},
    {"Menu", "mnuAction.Caption", "mnuAction"},
    {"Menu", "mnuRun.Caption", "mnuRun"},
    {"Menu", "mnuSuspend.Caption", "mnuSuspend"},
    {"Menu", "mnuStop.Caption", "mnuStop"},
    {"Menu", "mnuOption1.Caption", "mnuOption1"},
    {"Menu", "mnuOption.Caption", "mnuOption"},
    {"Menu", "mnuHelp.Caption", "mnuHelp"},
    {"Menu", "mnuContent.Caption", "mnuContent"},
    {"Menu", "mnuAbout.Caption", "mnuAbout"},
    {"Menu", "mnuHomepage.Caption", "mnuHomepage"},
    {"LogCmd", "spbtnSaveAs.Caption", "spbtnSave"},
    {"LogCmd", "spbtnClear.Caption", "spbtnClear"},
    {"LogCmd", "spbtnFind.Caption", "spbtnFind"},
    {"LogCmd", "spbtnBrowseLog.Caption", "spbtnBrowseLog"},
    {"lvwTask_Column", "Column1.Caption", "lvwTask", 0},
    {"lvwTask_Column", "Column2.Caption", "lvwTask", 1},
    {"lvwTask_Column", "Column3.Caption", "lvwTask", 2},
    {"lvwTask_Column", "Column4.Caption", "lvwTask", 3},
    {"lvwTask_Column", "Column5.Caption", "lvwTask", 4},
    {"lvwTask_Column", "Column6.Caption", "lvwTask", 5},
    {"PopupMenu1", "pmuGroupAdd.Caption", "pmuGroupAdd"},
    {"PopupMenu1", "pmuGroupRen.Caption", "pmuGroupRen"},
    {"PopupMenu1", "pmuGroupDel.Caption", "pmuGroupDel"},
    {"PopupMenu1", "pmuHideGroup.Caption", "pmuHideGroup"},
    {"PopupMemu2", "pmuTaskNew.Caption", "pmuTaskNew"},
    {"PopupMemu2", "pmuTaskEdit.Caption", "pmuTaskEdit"},
    {"PopupMemu2", "pmuTaskDel.Caption", "pmuTaskDel"},
    {"PopupMemu2", "pmuView.Caption", "pmuView"},
    {"PopupMemu2", "pmuLargleIcon.Caption", "pmuLargleIcon"},
    {"PopupMemu2", "pmuSmallIcon.Caption", "pmuSmallIcon"},
    {"PopupMemu2", "pmuList.Caption", "pmuList"},
    {"PopupMemu2", "pmuDetailed.Caption", "pmuDetailed"},
    {"PopupMenu2", "pmuRun.Caption", "pmuRun"},
    {"PopupMenu2", "pmuSuspend.Caption", "pmuSuspend"},
    {"PopupMenu2", "pmuStop.Caption", "pmuStop"},
    {"PopupMenu2", "pmuOpenSourceDir.Caption", "pmuOpenSourceDir"},
    {"PopupMenu2", "pmuOpenTargetDir.Caption", "pmuOpenTargetDir"},
    {"PopupMenu2", "pmuHistory.Caption", "pmuHistory"},
    {"PopupMenu3", "pmuSaveAs.Caption", "pmuSaveAs"},
    {"PopupMenu3", "pmuClear.Caption", "pmuClear"},
    {"PopupMenu3", "pmuFind.Caption", "pmuFind"},
    {"PopupMenu3", "pmuBrowseLog.Caption", "pmuBrowseLog"},
    {"PopupMenu3", "pmuHideLog.Caption", "pmuHideLog"},
    {"PopupMemu4", "pmuAbout.Caption", "pmuAbout"},
    {"PopupMemu4", "pmuShowForm.Caption", "pmuShowForm"},
    {"PopupMemu4", "pmuHideForm.Caption", "pmuHideForm"},
    {"PopupMemu4", "pmuExit.Caption", "pmuExit"},
    {"ToolBar", "spbtnGroupAdd.Caption", "spbtnGroupAdd", kCaption},
    {"ToolBar", "spbtnGroupAdd.Hint", "spbtnGroupAdd", kHint},
    {"ToolBar", "spbtnGroupRen.Caption", "spbtnGroupRen", kCaption},
    {"ToolBar", "spbtnGroupRen.Hint", "spbtnGroupRen", kHint},
    {"ToolBar", "spbtnGroupDel.Caption", "spbtnGroupDel", kCaption},
    {"ToolBar", "spbtnGroupDel.Hint", "spbtnGroupDel", kHint},
    {"ToolBar", "spbtnRun.Caption", "spbtnRun", kCaption},
    {"ToolBar", "spbtnRun.Hint", "spbtnRun", kHint},
    {"ToolBar", "spbtnSuspend.Caption", "spbtnSuspend", kCaption},
    {"ToolBar", "spbtnSuspend.Hint", "spbtnSuspend", kHint},
    {"ToolBar", "spbtnStop.Caption", "spbtnStop", kCaption},
    {"ToolBar", "spbtnStop.Hint", "spbtnStop", kHint},
    {"ToolBar", "spbtnTaskAdd.Caption", "spbtnTaskAdd", kCaption},
    {"ToolBar", "spbtnTaskAdd.Hint", "spbtnTaskAdd", kHint},
    {"ToolBar", "spbtnTaskEdit.Caption", "spbtnTaskEdit", kCaption},
    {"ToolBar", "spbtnTaskEdit.Hint", "spbtnTaskEdit", kHint},
    {"ToolBar", "spbtnTaskDel.Caption", "spbtnTaskDel", kCaption},
    {"ToolBar", "spbtnTaskDel.Hint", "spbtnTaskDel", kHint},
    {"ToolBar", "spbtnOption.Caption", "spbtnOption", kCaption},
    {"ToolBar", "spbtnOption.Hint", "spbtnOption", kHint},
    {"ToolBar", "spbtnHelp.Caption", "spbtnHelp", kCaption},
    {"ToolBar", "spbtnHelp.Hint", "spbtnHelp", kHint},
    {"ToolBar", "spbtnAbout.Caption", "spbtnAbout", kCaption},
    {"ToolBar", "spbtnAbout.Hint", "spbtnAbout", kHint},
    {"ToolBar", "spbtnHomepage.Caption", "spbtnHomepage", kCaption},
    {"ToolBar", "spbtnHomepage.Hint", "spbtnHomepage", kHint},
    {"LogCmd", "spbtnSaveAs.Hint", "spbtnSave", kHint},
    {"LogCmd", "spbtnClear.Hint", "spbtnClear", kHint},
    {"LogCmd", "spbtnFind.Hint", "spbtnFind", kHint},
    {"LogCmd", "spbtnBrowseLog.Hint", "spbtnBrowseLog", kHint},
    {"PopupMenu3", "pmuBrowseLog.Hint", "pmuBrowseLog", kHint},
    {"frmMain", "PanelToolBax.AccessibleName", "PanelToolBax", kAccessibleName},
    {"frmMain", "PanelLogToolBar.AccessibleName", "PanelLogToolBar", kAccessibleName},
    {"frmMain", "PanelLog.AccessibleName", "PanelLog", kAccessibleName},
    {"frmMain", "rtfLog.AccessibleName", "rtfLog", kAccessibleName},
    {"frmMain", "PanelTreeView.AccessibleName", "PanelTreeView", kAccessibleName},
    {"frmMain", "treTaskGroup.AccessibleName", "treTaskGroup", kAccessibleName},
    {"frmMain", "SplitterTree.AccessibleName", "SplitterTree", kAccessibleName},
    {"frmMain", "lvwTaskViews.AccessibleName", "lvwTaskViews", kAccessibleName},
    {"frmMain", "lvwTask.AccessibleName", "lvwTask", kAccessibleName},
    {"frmMain", "lvwTaskIcons.AccessibleName", "lvwTaskIcons", kAccessibleName},
    {"frmMain", "SplitterLog.AccessibleName", "SplitterLog", kAccessibleName},
    {"frmMain", "prgRunFile.AccessibleName", "prgRunFile", kAccessibleName},
};

constexpr UiText kMessages[] = {
    kAllTasks,      kTaskCount,     kRunningCount,     kShuttingDown, kRunStopped,
    kRunFinished,   kSelectTask,    kDeleteGroup,      kDeleteTask,   kRunningTaskDelete,
    kFolderMissing, kCannotOpen,    kCannotOpenFolder, kGuideMissing, kExitQuestion,
    kLogNotSaved,   kLogFileFilter,
};

} // namespace

std::span<const LanguageRow> MainWindowLanguageRows()
{
    return kLanguageRows;
}

std::span<const UiText> MainWindowMessages()
{
    return kMessages;
}

} // namespace tarnwick::ui
