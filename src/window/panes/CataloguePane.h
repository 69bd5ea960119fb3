#pragma once

#include <QWidget>

#include <optional>

class QTreeWidget;
struct Catalogue;

// The panel on the left: the catalogue tree of the open database, a root named after it with its
// tables and views and, below each, its columns. A click on a node, or Space, asks for a table's
// structure; a double-click, or Return, asks to query it. The panel is as wide as the longest
// column name needs.
class CataloguePane : public QWidget
{
    Q_OBJECT

public:
    explicit CataloguePane(QWidget *parent = nullptr);

    void clear();
    // A root node named after the database; the objects come below it.
    void setRoot(const QString &databaseName);
    // Adds the tables and views under the root, each with its columns, expands the root and fits
    // the panel's width.
    void addObjects(const Catalogue &catalogue);
    bool hasNodes() const;
    void expandAll();
    void collapseAll();

    struct Table
    {
        QString schema;
        QString name;
    };
    // The table or view selected in the tree; none when the current node is not one.
    std::optional<Table> selectedTable() const;
    QList<QWidget *> focusOrder() const;

signals:
    void clicked();
    void activated();
    void expanded();

private:
    QTreeWidget *m_tree = nullptr;
};
