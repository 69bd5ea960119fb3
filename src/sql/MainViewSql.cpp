// TMainView operations of the structure and SQL subsystem.
#include "shell/UMainView.h"

void TMainView::initSqlPart() {}
void TMainView::DescribeTable(QObject *, const QString &, const QString &) {}
void TMainView::RunSql() {}
void TMainView::TreeView1DblClick() {}
void TMainView::StatsCommand() {}
