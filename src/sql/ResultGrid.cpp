#include "sql/ResultGrid.h"

ResultGrid::ResultGrid(QWidget *parent) : QTableView(parent) {}
