// STUB
#include "ui/TfrmFilterTest.h"
namespace tarnwick::ui {
struct TfrmFilterTest::Controls {};
TfrmFilterTest::TfrmFilterTest(Desktop& desktop, QList<ExcludeRule> rules, QWidget* parent) : QDialog(parent), m_desktop(desktop), m_rules(std::move(rules)) {}
TfrmFilterTest::~TfrmFilterTest() = default;
void TfrmFilterTest::spbtnSourceClick() {}
void TfrmFilterTest::spbtnFilterClick() {}
void TfrmFilterTest::spbtnStopClick() {}
bool TfrmFilterTest::testing() const { return false; }
void TfrmFilterTest::done(int r) { QDialog::done(r); }
}
