// TMainView operations of the reports and maintenance subsystem.
#include "shell/UMainView.h"

void TMainView::initReportsPart() {}
void TMainView::ReportStructure() {}
void TMainView::WebBrowser1DocumentComplete() {}
void TMainView::Button1Click() {}
void TMainView::CompactCommand() {}
void TMainView::CompactDatabase(const QString &) {}
void TMainView::StringGrid1DblClick() {}
