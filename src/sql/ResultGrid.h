#pragma once

#include <QTableView>

// DBGrid1: the result grid.
class ResultGrid : public QTableView
{
    Q_OBJECT

public:
    explicit ResultGrid(QWidget *parent = nullptr);
};
