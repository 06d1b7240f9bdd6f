// The main window's tables of texts.
#include "ui/TfrmMainTexts.h"

#include "ui/TfrmMain.h"

namespace tarnwick::ui {

namespace {

constexpr MainWindowAction kActions[] = {
    {"mnuTaskNew", "New Task", "Create | Creat a new task", "document-new"},
    {"mnuTaskEdit", "Edit Task", "Edit | Display the proparies of the selected task",
     "document-properties"},
    {"mnuTaskDel", "Delete Task", "Delete | Delete selected task", "edit-delete"},
    {"mnuGroupNew", "Add Task Group", "Add | Add a task group", "list-add"},
    {"mnuGroupRen", "Rename Task Group", "Rename | Rename  task group", "edit-rename"},
    {"mnuGroupDel", "Remove Task Group", "Remove | Remove selected task group", "list-remove"},
    {"mnuExit", "Exit", "Close the current window", nullptr},
    {"mnuToolBax", "Tool Bax", "", nullptr},
    {"mnuTaskGroup", "Task Group", "Show/hide the Task Groups list tool window  ", nullptr},
    {"mnuLog", "Log", "", nullptr},
    {"mnuStatusBar", "StatusBar", "Show/hide the Status Bar ", nullptr},
    {"mnuLargeIcon", "Large Icon", "Display items by Large icons ", nullptr},
    {"mnuSmallIcon", "Small Icon", "Display items by Small icons ", nullptr},
    {"mnuList", "List", "Display items in a list ", nullptr},
    {"mnuDetailed", "Detailed", "Display information about each item in window   ", nullptr},
    {"mnuRun", "&Run/Resume", "Execute/Resume selected synchronize task",
     "media-playback-start"},
    {"mnuSuspend", "&Suspend", "Suspend synchronize ", "media-playback-pause"},
    {"mnuStop", "&Stop", " Stop  synchronize ", "media-playback-stop"},
    {"mnuOption", "Option...", "Display program options", "preferences-system"},
    {"mnuContent", "Content", "Help | Open help contents window ", "help-contents"},
    {"mnuHomepage", "Home page", "Tarnwick Homepage", "go-home"},
    {"mnuAbout", "About...", "About | Tarnwick's version and addresses", "help-about"},
    // Pop-up menus of the tree, the list and the tray.
    {"pmuGroupAdd", "&Add Task Group", "", nullptr},
    {"pmuGroupRen", "&Rename Task Group", "", nullptr},
    {"pmuGroupDel", "Delete Task Group", "", nullptr},
    {"pmuHideGroup", "Hide Task &Group List", "", nullptr},
    {"pmuTaskNew", "&New Task", "", nullptr},
    {"pmuTaskEdit", "&Edit Task", "", nullptr},
    {"pmuTaskDel", "&Delete Task", "", nullptr},
    {"pmuLargleIcon", "&Large Icon", "", nullptr},
    {"pmuSmallIcon", "Small &Icon", "", nullptr},
    {"pmuList", "&List", "", nullptr},
    {"pmuDetailed", "&Detailed", "", nullptr},
    {"pmuRun", "&Run/Resume", "", nullptr},
    {"pmuSuspend", "&Suspend", "", nullptr},
    {"pmuStop", "&Stop", "", nullptr},
    {"pmuOpenSourceDir", "&Browse Source Folder", "", nullptr},
    {"pmuOpenTargetDir", "&Browse Target Folder", "", nullptr},
    {"pmuHistory", "Run &History...", "", nullptr},
    {"pmuAbout", "&About...", "", nullptr},
    {"pmuShowForm", "&Show", "", nullptr},
    {"pmuHideForm", "&Hide", "", nullptr},
    {"pmuExit", "&Exit", "", nullptr},
};

constexpr MainWindowButton kButtons[] = {
    {"spbtnGroupAdd", "Add | Add a task group", "list-add", "mnuGroupNew"},
    {"spbtnGroupRen", "Rename | Rename  task group", "edit-rename", "mnuGroupRen"},
    {"spbtnGroupDel", "Remove | Remove the selected task group", "list-remove", "mnuGroupDel"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnRun", "Execute/Resume | Execute/Resume selected synchronize task",
     "media-playback-start", nullptr},
    {"spbtnSuspend", "Suspend | Suspend  synchronize", "media-playback-pause", nullptr},
    {"spbtnStop", "Stop | Stop  synchronize", "media-playback-stop", nullptr},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnTaskAdd", "Create | Creat a new task", "document-new", "mnuTaskNew"},
    {"spbtnTaskEdit", "Edit | Display the proparies of the selected task",
     "document-properties", "mnuTaskEdit"},
    {"spbtnTaskDel", "Delete | Delete selected task", "edit-delete", "mnuTaskDel"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnOption", "Options | Display program options", "preferences-system", "mnuOption"},
    {nullptr, nullptr, nullptr, nullptr},
    {"spbtnHelp", "Help | Open help contents window ", "help-contents", "mnuContent"},
    {"spbtnAbout", "About | Tarnwick's version and addresses", "help-about", "mnuAbout"},
    {"spbtnHomepage", "Tarnwick Homepage", "go-home", "mnuHomepage"},
};

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
};

constexpr UiText kMessages[] = {
    kAllTasks,      kTaskCount,     kRunningCount,     kShuttingDown, kRunStopped,
    kRunFinished,   kSelectTask,    kDeleteGroup,      kDeleteTask,   kRunningTaskDelete,
    kFolderMissing, kCannotOpen,    kCannotOpenFolder, kGuideMissing, kExitQuestion,
    kLogNotSaved,   kLogFileFilter,
};

} // namespace

std::span<const MainWindowAction> MainWindowActions()
{
    return kActions;
}

std::span<const MainWindowButton> MainWindowButtons()
{
    return kButtons;
}

std::span<const LanguageRow> TfrmMain::languageRows()
{
    return kLanguageRows;
}

std::span<const UiText> MainWindowMessages()
{
    return kMessages;
}

} // namespace tarnwick::ui
