// STUB
#include "ui/TfrmFilter.h"
namespace tarnwick::ui {
struct TfrmFilter::Controls {};
TfrmFilter::TfrmFilter(Desktop& desktop, QWidget* parent) : QDialog(parent), m_desktop(desktop) {}
TfrmFilter::~TfrmFilter() = default;
ExcludeRule TfrmFilter::rule() const { ExcludeRule r; r.value = QStringLiteral("doc,"); return r; }
QString TfrmFilter::description() const { return QStringLiteral("Excluder files watching the wildcard: doc,"); }
void TfrmFilter::accept() { QDialog::accept(); }
}
