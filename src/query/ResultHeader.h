#pragma once

#include <QHeaderView>
#include <QList>
#include <QStringList>

class QLineEdit;

// The result grid's column titles. A click sorts by the column (ResultShaper::sortBy), with
// Shift it adds the column to the sort, with Ctrl it selects the column instead; dragging a
// section's edge sizes it and a double click there fits it. Each sorted column shows its arrow,
// its place in the sort when there are several, and who sorted ("db" or "grid"); a column whose
// sort or filter was refused shows a mark, its tooltip the reason.
//
// Under the titles the filter row, when shown: a box per column whose text filters it
// (ColumnFilter); Return applies every box, Escape empties the one it is pressed in.
class ResultHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit ResultHeader(QWidget *parent = nullptr);

    void setFilterRowVisible(bool visible);
    bool isFilterRowVisible() const { return m_filterRow; }
    // The texts of the filter boxes, by column.
    QStringList filterTexts() const;
    void setFilterTexts(const QStringList &texts);
    QLineEdit *filterBox(int column) const;
    // Texts, tooltips and names of the boxes in the interface language.
    void applyLanguage();

    QSize sizeHint() const override;
    // The marks drawn after a column's title: the sort's arrow, its place among several, "db" or
    // "grid", a filter's sign, "!" for a refusal.
    QString marks(int column) const;
    // The room the marks take after the title; 0 without marks.
    int marksWidth(int column) const;

signals:
    // A click on a section (not on its edge) with the keyboard modifiers held.
    void sectionClickedWith(int section, Qt::KeyboardModifiers modifiers);
    // Return in a filter box.
    void filtersEntered(const QStringList &texts);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void updateGeometries() override;

private:
    bool onEdge(const QPoint &pos) const;
    int titleHeight() const;
    void makeBoxes();
    void placeBoxes();

    bool m_filterRow = false;
    QList<QLineEdit *> m_boxes;
    int m_pressed = -1;
    Qt::KeyboardModifiers m_pressModifiers;
    bool m_resizing = false;
};
