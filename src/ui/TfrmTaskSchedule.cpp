// STUB
#include "ui/TfrmTaskSchedule.h"
#include "store/ScheduleRules.h"
namespace tarnwick::ui {
struct TfrmTaskSchedule::Controls { ScheduleEntry e; };
TfrmTaskSchedule::TfrmTaskSchedule(Desktop& desktop, QWidget* parent) : QDialog(parent), m_desktop(desktop), m_c(std::make_unique<Controls>()) { m_c->e.value = 30; }
TfrmTaskSchedule::~TfrmTaskSchedule() = default;
void TfrmTaskSchedule::LoadEntry(const ScheduleEntry& entry) { m_c->e = entry; }
ScheduleEntry TfrmTaskSchedule::entry() const { return m_c->e; }
QString TfrmTaskSchedule::description() const { return DescribeEditorEntry(m_c->e); }
void TfrmTaskSchedule::accept() { QDialog::accept(); }
}
